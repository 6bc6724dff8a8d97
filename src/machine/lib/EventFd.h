#pragma once

// The eventfds that wake the machine's worker and tell its owners that the
// report changed.

#include <cerrno>
#include <cstdint>
#include <unistd.h>

namespace maroka::machine {

inline void SignalEventFd(int fd)
{
    std::uint64_t one = 1;
    while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

inline void DrainEventFd(int fd)
{
    std::uint64_t value = 0;
    while (::read(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

} // namespace maroka::machine
