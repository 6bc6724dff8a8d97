#include "core/logs/BackgroundLog.h"

#include <utility>

namespace maroka::logs {

BackgroundLog::BackgroundLog(LogFile file) : file_(std::move(file)) {}

BackgroundLog::~BackgroundLog()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void BackgroundLog::Add(LogEntry entry)
{
    {
        const std::lock_guard lock(mutex_);
        pending_.push_back(std::move(entry));
        ++added_;
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    changed_.notify_all();
}

LogResult BackgroundLog::Flush()
{
    std::unique_lock lock(mutex_);
    const std::uint64_t wanted = added_;
    changed_.wait(lock, [&] { return written_ >= wanted; });
    return std::exchange(failure_, std::nullopt);
}

void BackgroundLog::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return !pending_.empty() || stopping_; });
        if (pending_.empty())
            return; // stopping, nothing left to write
        std::vector<LogEntry> batch = std::exchange(pending_, {});
        lock.unlock();
        LogResult result = file_.Write(batch);
        lock.lock();
        if (result)
            failure_ = std::move(result);
        written_ += batch.size();
        changed_.notify_all();
    }
}

} // namespace maroka::logs
