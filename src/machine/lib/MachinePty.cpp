#include "machine/lib/MachinePty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace maroka::machine {

namespace {

std::string SystemError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

bool MakeRaw(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

} // namespace

MachinePty::~MachinePty()
{
    Close();
}

bool MachinePty::Open(std::string& error)
{
    Close();
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        error = SystemError("posix_openpt");
        return false;
    }
    char name[256] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        error = SystemError("cannot unlock the pseudo-terminal");
        ::close(master);
        return false;
    }
    if (!MakeRaw(master)) {
        error = SystemError("cannot set the pseudo-terminal master raw");
        ::close(master);
        return false;
    }
    int flags = fcntl(master, F_GETFL);
    if (flags < 0 || fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError("fcntl O_NONBLOCK");
        ::close(master);
        return false;
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = SystemError("cannot open the pseudo-terminal slave");
        ::close(master);
        return false;
    }
    if (!MakeRaw(slave)) {
        error = SystemError("cannot set the pseudo-terminal slave raw");
        ::close(slave);
        ::close(master);
        return false;
    }
    master_ = master;
    slaveKeepAlive_ = slave;
    slavePath_ = name;
    return true;
}

bool MachinePty::CreateLink(const std::string& linkPath, std::string& error)
{
    if (!IsOpen()) {
        error = "the pseudo-terminal is not open";
        return false;
    }
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = linkPath + " exists and is not a symbolic link";
            return false;
        }
        if (::unlink(linkPath.c_str()) != 0) {
            error = SystemError(("cannot replace " + linkPath).c_str());
            return false;
        }
    }
    if (::symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
        error = SystemError(("cannot create " + linkPath).c_str());
        return false;
    }
    linkPath_ = linkPath;
    return true;
}

void MachinePty::WaitOutputTaken(std::chrono::milliseconds limit) const
{
    // Our own slave descriptor sees the same input queue as the PC's. The
    // kernel moves written bytes there a moment later: give it that moment.
    const auto end = std::chrono::steady_clock::now() + limit;
    ::usleep(20000);
    int unread = 0;
    while (slaveKeepAlive_ >= 0 && ::ioctl(slaveKeepAlive_, FIONREAD, &unread) == 0 && unread > 0 &&
           std::chrono::steady_clock::now() < end)
        ::usleep(5000);
}

void MachinePty::Close()
{
    if (!linkPath_.empty()) {
        // Remove the link only while it still points at our slave.
        char target[256] = {};
        ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n > 0 && slavePath_ == std::string(target, static_cast<std::size_t>(n)))
            ::unlink(linkPath_.c_str());
        linkPath_.clear();
    }
    if (slaveKeepAlive_ >= 0) {
        ::close(slaveKeepAlive_);
        slaveKeepAlive_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

} // namespace maroka::machine
