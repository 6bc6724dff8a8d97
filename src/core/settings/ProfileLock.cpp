#include "core/settings/ProfileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace maroka::settings {

std::string ProfileLock::LockPathFor(const std::string& path)
{
    // Two names of one file (a symbolic link) share one lock.
    char resolved[PATH_MAX];
    const std::string target = ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return (folder == "/" ? "" : folder) + "/." + name + ".lock";
}

ProfileLock::ProfileLock(const std::string& path)
{
    const int fd = ::open(LockPathFor(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    int rc = 0;
    do {
        rc = ::flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
}

ProfileLock::~ProfileLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace maroka::settings
