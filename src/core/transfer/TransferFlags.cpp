#include "core/transfer/TransferFlags.h"

namespace maroka::transfer {

void TransferFlags::RequestStop()
{
    {
        std::lock_guard lock(mutex_);
        stopRequested = true;
    }
    wake_.notify_all();
}

void TransferFlags::RequestClose()
{
    {
        std::lock_guard lock(mutex_);
        closing = true;
    }
    wake_.notify_all();
}

bool TransferFlags::SleepUnlessStopped(std::chrono::milliseconds duration)
{
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, duration, [this] { return StopOrClosing(); });
}

} // namespace maroka::transfer
