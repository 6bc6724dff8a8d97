#include "core/serial/LineWakeUp.h"

#include <unistd.h>

#include <cstdint>

namespace maroka::serial {

void LineWakeUp::Interrupt()
{
    std::lock_guard lock(mutex_);
    interrupted_.store(true, std::memory_order_release);
    if (fd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(fd_, &one, sizeof one);
    }
}

void LineWakeUp::Clear()
{
    std::lock_guard lock(mutex_);
    interrupted_.store(false, std::memory_order_release);
    TakeBack();
}

void LineWakeUp::TakeBack()
{
    if (fd_ >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t ignored = ::read(fd_, &count, sizeof count);
    }
}

void LineWakeUp::Close()
{
    std::lock_guard lock(mutex_);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace maroka::serial
