#include "machine/PcSide.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace maroka::test {

PcSide::PcSide(const std::string& path)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return;
    termios tio{};
    if (tcgetattr(fd_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
    }
}

PcSide::~PcSide()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool PcSide::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, 5000) <= 0)
            return false;
    }
    return true;
}

std::string PcSide::Read(std::chrono::milliseconds wait, std::size_t atLeast)
{
    std::string out;
    auto end = std::chrono::steady_clock::now() + wait;
    while (out.size() < atLeast) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd pfd{fd_, POLLIN, 0};
        int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || (pfd.revents & POLLIN) == 0)
            break;
        char buffer[4096];
        ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

} // namespace maroka::test
