#pragma once

// A log written behind its caller. Rewriting a large newest-first log costs
// tens of milliseconds (it is read, changed at its head and replaced whole),
// and the transfer worker that makes the entries must not stop for that
// while a machine waits on the line. An entry takes its time when it is
// added; a thread of this object's own writes whatever has gathered in one
// replacement of the file, so a burst of entries costs one rewrite, and each
// entry is in the file whole or not at all.
//
// The destructor writes what is still pending before it returns.

#include "core/logs/LogFile.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace maroka::logs {

class BackgroundLog {
public:
    explicit BackgroundLog(LogFile file);
    ~BackgroundLog();
    BackgroundLog(const BackgroundLog&) = delete;
    BackgroundLog& operator=(const BackgroundLog&) = delete;

    // Queues the entry and returns at once.
    void Add(LogEntry entry);

    // Returns when every entry added before the call has been written, with
    // the failure of the last write that failed since the previous Flush.
    LogResult Flush();

private:
    void Run();

    LogFile file_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<LogEntry> pending_;
    std::uint64_t added_ = 0;
    std::uint64_t written_ = 0;
    LogResult failure_;
    bool stopping_ = false;
    std::thread thread_; // started by the first entry
};

} // namespace maroka::logs
