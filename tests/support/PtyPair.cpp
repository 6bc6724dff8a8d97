#include "support/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace maroka::test {

PtyPair::PtyPair(bool watchSlave)
{
    std::string error;
    if (!Open(error))
        throw std::runtime_error(error);
    if (!watchSlave)
        return;
    watch_ = open(SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (watch_ == -1)
        throw std::runtime_error("cannot open " + SlavePath());
}

PtyPair::~PtyPair()
{
    if (watch_ >= 0)
        close(watch_);
}

void PtyPair::WriteMaster(std::string_view bytes)
{
    if (!WriteAll(MasterFd(), bytes))
        throw std::runtime_error("write to the pty master failed: errno " + std::to_string(errno));
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n == -1 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

std::string ReadFor(int fd, std::size_t count, std::chrono::milliseconds timeout)
{
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[4096];
    while (got.size() < count) {
        const ssize_t n = read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0) {
            got.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(left.count()));
    }
    return got;
}

std::string ReadUntilQuiet(int fd, std::chrono::milliseconds quiet)
{
    std::string got;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            got.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0)
            return got;
    }
}

} // namespace maroka::test
