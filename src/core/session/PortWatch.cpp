#include "core/session/PortWatch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace maroka::session {

namespace {

constexpr auto kReopenInterval = std::chrono::milliseconds(250);

} // namespace

struct PortWatch::Run {
    std::shared_ptr<serial::SerialLine> line;
    std::string name;
    std::string alias;
    Opener open;
    Reports reports;

    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;
    bool lineReleased = false;
    bool exited = false;
    std::thread thread;
};

std::string SerialByIdAlias(const std::string& device)
{
    std::error_code ec;
    const auto target = std::filesystem::canonical(device, ec);
    if (ec)
        return {};
    for (const auto& entry : std::filesystem::directory_iterator("/dev/serial/by-id", ec)) {
        std::error_code ignored;
        if (std::filesystem::canonical(entry.path(), ignored) == target && !ignored)
            return entry.path().string();
    }
    return {};
}

PortWatch::~PortWatch()
{
    Stop();
    for (const auto& run : runs_) {
        if (run->thread.joinable())
            run->thread.join();
    }
}

void PortWatch::Start(std::shared_ptr<serial::SerialLine> line, const std::string& name, Opener open, Reports reports)
{
    Stop();
    // Watches that have ended are joined here; one still reporting to the UI
    // (whose call cannot finish while this runs on the UI thread) is left.
    std::erase_if(runs_, [](const std::shared_ptr<Run>& run) {
        std::lock_guard lock(run->mutex);
        if (!run->exited)
            return false;
        run->thread.join();
        return true;
    });
    if (!line)
        return;
    auto run = std::make_shared<Run>();
    run->line = std::move(line);
    run->name = name;
    run->alias = SerialByIdAlias(name);
    run->open = std::move(open);
    run->reports = std::move(reports);
    run->line->ClearInterrupt();
    run->thread = std::thread([&ui = ui_, run] { Body(ui, run); });
    current_ = run;
    runs_.push_back(run);
}

void PortWatch::Stop()
{
    if (!current_)
        return;
    const std::shared_ptr<Run> run = std::move(current_);
    {
        std::lock_guard lock(run->mutex);
        run->stop = true;
    }
    run->changed.notify_all();
    run->line->Interrupt();
    std::unique_lock lock(run->mutex);
    run->changed.wait(lock, [&] { return run->lineReleased; });
}

void PortWatch::Body(UserInterface& ui, const std::shared_ptr<Run>& run)
{
    const auto finish = [&run] {
        std::lock_guard lock(run->mutex);
        run->lineReleased = true;
        run->exited = true;
        run->changed.notify_all();
    };
    bool gone = false;
    for (;;) {
        const serial::IoStatus status = run->line->WaitReadable(-1);
        if (status == serial::IoStatus::Interrupted)
            break;
        if (status == serial::IoStatus::Failed) {
            gone = true;
            break;
        }
        {
            std::lock_guard lock(run->mutex);
            if (run->stop)
                break;
        }
        char discard[4096];
        const serial::IoResult read = run->line->ReadAvailable(discard, sizeof discard);
        if (read.count == 0) {
            // A line that reports input it then does not hand out would
            // keep this loop spinning.
            std::unique_lock lock(run->mutex);
            if (run->changed.wait_for(lock, kReopenInterval, [&] { return run->stop; }))
                break;
        }
    }
    {
        std::lock_guard lock(run->mutex);
        run->lineReleased = true;
        gone = gone && !run->stop;
    }
    run->changed.notify_all();
    if (!gone) {
        finish();
        return;
    }

    const auto stillWanted = [&run] {
        std::lock_guard lock(run->mutex);
        return !run->stop;
    };
    ui.RunOnUiThread([&run, &stillWanted] {
        if (stillWanted())
            run->reports.gone();
    });
    for (;;) {
        {
            std::unique_lock lock(run->mutex);
            if (run->changed.wait_for(lock, kReopenInterval, [&] { return run->stop; }))
                break;
        }
        std::string name = run->name;
        std::shared_ptr<serial::SerialLine> line = run->open(name);
        // A USB adapter may come back under another number; its by-id name
        // stays the same.
        if (!line && !run->alias.empty()) {
            std::error_code ec;
            const auto device = std::filesystem::canonical(run->alias, ec);
            if (!ec) {
                name = device.string();
                line = run->open(name);
            }
        }
        if (!line)
            continue;
        ui.RunOnUiThread([&run, &stillWanted, &line, &name] {
            if (stillWanted())
                run->reports.back(std::move(line), name);
        });
        break;
    }
    finish();
}

} // namespace maroka::session
