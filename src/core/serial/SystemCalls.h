#pragma once

// Calls to system functions made by the serial layer go through this table,
// so that tests can make them fail (EIO, short writes, EINTR) on purpose.
// Each one returns what the system call returns and leaves errno as it set it.

#include <fcntl.h>
#include <poll.h>

#include <chrono>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace maroka::serial {

class SystemCalls {
public:
    virtual ~SystemCalls() = default;

    virtual int Open(const char* path, int flags) { return ::open(path, flags); }
    virtual int Close(int fd) { return ::close(fd); }
    virtual ssize_t Read(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }
    virtual ssize_t Write(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
    virtual int Poll(pollfd* fds, nfds_t count, int timeoutMs) { return ::poll(fds, count, timeoutMs); }
    // Poll with a timeout finer than a millisecond, for the line pacing.
    virtual int PollFor(pollfd* fds, nfds_t count, std::chrono::nanoseconds timeout)
    {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
        const timespec wait{static_cast<time_t>(seconds.count()), static_cast<long>((timeout - seconds).count())};
        return ::ppoll(fds, count, &wait, nullptr);
    }
    virtual int Ioctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }
    virtual int Flock(int fd, int operation) { return ::flock(fd, operation); }

    // The calls of the running system.
    static SystemCalls& Real()
    {
        static SystemCalls calls;
        return calls;
    }
};

// Repeats a call that a signal interrupted. Not for close(): on Linux the
// descriptor is gone even when close() reports EINTR.
template <typename Call> auto RetryOnEintr(Call call)
{
    auto result = call();
    while (result == -1 && errno == EINTR)
        result = call();
    return result;
}

} // namespace maroka::serial
