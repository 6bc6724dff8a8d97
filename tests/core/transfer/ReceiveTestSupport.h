#pragma once

// Pieces the receive tests share: a line that reports a framing error where
// a damaged character passes, as a UART does and a pseudo-terminal cannot,
// and one reception over a real pseudo-terminal.

#include "core/serial/SerialLine.h"
#include "core/serial/SerialTestSupport.h"
#include "core/transfer/ManualClock.h"
#include "core/transfer/ReceiveLoop.h"
#include "core/transfer/WorkerEnvironment.h"
#include "support/ForwardingLine.h"
#include "support/MemoryLog.h"
#include "support/PtyPair.h"
#include "support/RecordingSteps.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace maroka::transfer::test {

using namespace std::chrono_literals;

// Passes everything to `inner` and reports kErrFrame once for each of
// `errorPositions` (0-based offsets into the data handed out by
// ReadAvailable) as soon as that byte is queued, before it is read.
class LineErrorInjector final : public ::maroka::test::ForwardingLine {
public:
    LineErrorInjector(std::shared_ptr<serial::SerialLine> inner, std::set<std::size_t> errorPositions)
        : ForwardingLine(std::move(inner)), pending_(std::move(errorPositions))
    {
    }

    bool ClearErrors(serial::LineErrorState& state) override
    {
        if (!ForwardingLine::ClearErrors(state))
            return false;
        std::lock_guard lock(mutex_);
        const auto first = pending_.lower_bound(handedOut_);
        if (first != pending_.end() && *first < handedOut_ + state.inputQueued) {
            pending_.erase(first);
            state.errors = serial::kErrFrame;
        }
        return true;
    }
    serial::IoResult ReadAvailable(char* data, std::size_t size) override
    {
        const serial::IoResult result = ForwardingLine::ReadAvailable(data, size);
        std::lock_guard lock(mutex_);
        handedOut_ += result.count;
        return result;
    }

    std::size_t HandedOut()
    {
        std::lock_guard lock(mutex_);
        return handedOut_;
    }

    // Starts counting afresh, e.g. for the second reception of a repair.
    void ExpectErrorsAt(std::set<std::size_t> positions)
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(positions);
        handedOut_ = 0;
    }

private:
    std::mutex mutex_;
    std::set<std::size_t> pending_;
    std::size_t handedOut_ = 0;
};

// One reception into RECV.NC on a worker thread; the test thread plays the
// machine (the pty master) and the UI thread. The line reports a framing
// error at each of `errorsAt`.
struct Reception {
    explicit Reception(bool holdSlaveOpen = true) : pty(holdSlaveOpen)
    {
        settings.receiveEndSeconds = "0";
        // The machine's pauses are real; Punch makes them not count.
        clock.SetSilence(::maroka::test::ManualClock::Silence::Real);
        context.transferFilePath = (dir / "RECV.NC").string();
        context.receivedFileClosed = [this](const std::string& path) { closedFiles.push_back(path); };
    }
    // A test that stopped at a failed check still ends its worker.
    ~Reception()
    {
        if (worker.joinable())
            Finish(5s);
    }

    void Start()
    {
        auto opened = std::shared_ptr<serial::SerialLine>(serial::test::OpenLine(pty, lineSettings));
        injector = std::make_shared<LineErrorInjector>(std::move(opened), errorsAt);
        env = std::make_unique<WorkerEnvironment>(WorkerEnvironment{injector, ui, log, flags, steps});
        env->settings = settings;
        env->versionText = " Maroka ver 0.565";
        env->applicationTitle = "Maroka";
        env->displayName = "RECV.NC";
        env->clock = &clock;
        worker = std::thread([this] {
            result = RunReceive(*env, context);
            done = true;
        });
    }

    // Serves the worker's UI calls until it has returned.
    bool Finish(std::chrono::milliseconds limit = 15s)
    {
        const bool finished = ui.PumpUntil([this] { return done.load(); }, limit);
        if (!finished) {
            Reset();
            ui.PumpUntil([this] { return done.load(); }, 5s);
        }
        worker.join();
        return finished;
    }

    void Reset()
    {
        flags.RequestStop();
        injector->Interrupt();
    }

    bool WaitForStatus(const std::string& status)
    {
        return ui.PumpUntil([&] { return ui.Saw("status:" + status); }, 10s);
    }

    // Writes the pieces as the machine punches them, a pause between them,
    // and lets silence count once the worker has read them all: the pauses
    // cannot pass for the end of the data.
    void Punch(const std::vector<std::string>& pieces)
    {
        clock.SetSilence(::maroka::test::ManualClock::Silence::Held);
        std::size_t total = 0;
        for (const std::string& piece : pieces) {
            pty.WriteMaster(piece);
            total += piece.size();
            std::this_thread::sleep_for(50ms);
        }
        ui.PumpUntil([&] { return injector->HandedOut() >= total; }, 10s);
        clock.SetSilence(::maroka::test::ManualClock::Silence::Instant);
    }

    std::string File() const { return ::maroka::test::ReadFileBytes(dir / "RECV.NC"); }

    ::maroka::test::TempDir dir;
    ::maroka::test::PtyPair pty;
    serial::LineSettings lineSettings = serial::test::AscLine();
    std::set<std::size_t> errorsAt;
    std::shared_ptr<LineErrorInjector> injector;
    ::maroka::test::RecordingUserInterface ui;
    std::shared_ptr<::maroka::test::MemoryLog> log = std::make_shared<::maroka::test::MemoryLog>();
    TransferFlags flags;
    ::maroka::test::RecordingSteps steps;
    settings::SessionSettings settings;
    ReceiveContext context;
    std::unique_ptr<WorkerEnvironment> env;
    ::maroka::test::ManualClock clock;
    std::vector<std::string> closedFiles;
    std::thread worker;
    std::atomic<bool> done{false};
    bool result = false;
};

inline int Count(const std::vector<std::string>& items, const std::string& item)
{
    return static_cast<int>(std::count(items.begin(), items.end(), item));
}

} // namespace maroka::transfer::test
