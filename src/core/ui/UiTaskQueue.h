#pragma once

// Steps a worker hands to the UI thread and waits for, for front ends that
// have no event loop of their own (the terminal, tests): the UI thread runs
// them when it calls RunPending().

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace maroka {

class UiTaskQueue {
public:
    // The constructing thread is the UI thread.
    UiTaskQueue();

    // On the UI thread runs `task` at once; from another thread queues it and
    // returns when the UI thread has run it, or at once after Release().
    void Run(const std::function<void()>& task);
    // From now on queued and later tasks are dropped, never run late.
    void Release();

    // Runs the queued tasks, first waiting up to `timeout` for one to arrive
    // unless `stopWaiting` holds (checked under the queue's lock; Notify()
    // wakes the wait to check it again).
    void RunPending(std::chrono::milliseconds timeout, const std::function<bool()>& stopWaiting = {});
    void Notify();

private:
    struct Task {
        const std::function<void()>* function;
        bool done = false;
    };

    std::thread::id uiThread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Task*> tasks_;
    bool released_ = false;
};

} // namespace maroka
