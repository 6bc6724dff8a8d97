#include "core/ui/UiTaskQueue.h"

#include <algorithm>

namespace maroka {

UiTaskQueue::UiTaskQueue() : uiThread_(std::this_thread::get_id()) {}

void UiTaskQueue::Run(const std::function<void()>& task)
{
    if (std::this_thread::get_id() == uiThread_) {
        task();
        return;
    }
    Task entry{&task};
    std::unique_lock lock(mutex_);
    if (released_)
        return;
    tasks_.push_back(&entry);
    changed_.notify_all();
    changed_.wait(lock, [&] { return entry.done || released_; });
    if (!entry.done)
        std::erase(tasks_, &entry);
}

void UiTaskQueue::Release()
{
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

void UiTaskQueue::Notify()
{
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

void UiTaskQueue::RunPending(std::chrono::milliseconds timeout, const std::function<bool()>& stopWaiting)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return !tasks_.empty() || (stopWaiting && stopWaiting()); });
    while (!tasks_.empty()) {
        Task* task = tasks_.front();
        tasks_.pop_front();
        lock.unlock();
        (*task->function)();
        lock.lock();
        task->done = true;
        changed_.notify_all();
    }
}

} // namespace maroka
