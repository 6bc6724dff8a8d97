#include "support/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace maroka::test {

namespace {

[[noreturn]] void Throw(const char* what)
{
    throw std::runtime_error(std::string(what) + " failed: errno " + std::to_string(errno));
}

} // namespace

PtyPair::PtyPair(bool holdSlaveOpen)
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ == -1)
        Throw("posix_openpt");
    if (grantpt(master_) == -1 || unlockpt(master_) == -1)
        Throw("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0)
        Throw("ptsname_r");
    slavePath_ = name;

    termios t{};
    if (tcgetattr(master_, &t) == -1)
        Throw("tcgetattr");
    cfmakeraw(&t);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (tcsetattr(master_, TCSANOW, &t) == -1)
        Throw("tcsetattr");

    if (holdSlaveOpen) {
        slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (slave_ == -1)
            Throw("open slave");
    }
}

PtyPair::~PtyPair()
{
    if (slave_ >= 0)
        close(slave_);
    CloseMaster();
}

void PtyPair::CloseMaster()
{
    if (master_ >= 0)
        close(master_);
    master_ = -1;
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

void PtyPair::WriteMaster(std::string_view bytes)
{
    if (!WriteAll(master_, bytes))
        Throw("write to master");
}

std::string PtyPair::ReadMaster(std::size_t count, std::chrono::milliseconds timeout)
{
    return ReadFor(master_, count, timeout);
}

std::string PtyPair::ReadMasterUntilQuiet(std::chrono::milliseconds quiet)
{
    std::string got;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n > 0) {
            got.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0)
            return got;
    }
}

} // namespace maroka::test
