#pragma once

// Flags the main window and the worker share. Each is written by one side
// and polled by the other; the condition variable lets the worker's timed
// waits (delay, wait, countdown) end the moment a stop or close is asked for.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace maroka::transfer {

class TransferFlags {
public:
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> closing{false};
    std::atomic<bool> quitRequested{false};
    std::atomic<bool> eventWaitActive{false};
    std::atomic<bool> transferArmed{false};

    bool StopOrClosing() const { return stopRequested || closing; }

    // Sets the flag and wakes every timed wait.
    void RequestStop();
    void RequestClose();

    // Sleeps for `duration` unless a stop or close is (or becomes) requested;
    // true when the whole time passed.
    bool SleepUnlessStopped(std::chrono::milliseconds duration);

private:
    std::mutex mutex_;
    std::condition_variable wake_;
};

} // namespace maroka::transfer
