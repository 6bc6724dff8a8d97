#pragma once

// How another thread ends a wait of the line at once: a flag that every later
// call sees, and an eventfd that each poll watches beside the device.

#include <atomic>
#include <mutex>

namespace maroka::serial {

class LineWakeUp {
public:
    // Takes over `eventFd` (non-blocking); -1 for none.
    explicit LineWakeUp(int eventFd) : fd_(eventFd) {}
    ~LineWakeUp() { Close(); }
    LineWakeUp(const LineWakeUp&) = delete;
    LineWakeUp& operator=(const LineWakeUp&) = delete;

    // The descriptor for the poll; -1 once closed.
    int Fd() const { return fd_; }
    bool Interrupted() const { return interrupted_.load(std::memory_order_acquire); }

    // Any thread: sets the flag and wakes the poll.
    void Interrupt();
    // Any thread: clears the flag and takes back a wake-up not yet seen.
    void Clear();
    // After a poll saw the descriptor readable without the flag: a wake-up
    // that Clear() has already taken back.
    void TakeBack();
    void Close();

private:
    int fd_;
    std::atomic<bool> interrupted_{false};
    std::mutex mutex_;
};

} // namespace maroka::serial
