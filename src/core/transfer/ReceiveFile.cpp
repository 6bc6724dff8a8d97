#include "core/transfer/ReceiveFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace maroka::transfer {

ReceiveFile::~ReceiveFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool ReceiveFile::Fail(int errorNumber)
{
    lastError_ = std::strerror(errorNumber);
    return false;
}

bool ReceiveFile::Open(const std::string& path)
{
    if (fd_ >= 0)
        return true;
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Fail(errno);
    fd_ = fd;
    lastError_.clear();
    return true;
}

bool ReceiveFile::Write(std::string_view bytes)
{
    if (fd_ < 0)
        return Fail(EBADF);
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Fail(errno);
        }
        if (n == 0)
            return Fail(EIO);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && info.st_nlink == 0)
        return Fail(ENOENT);
    return true;
}

bool ReceiveFile::Close()
{
    if (fd_ < 0)
        return true;
    const int fd = fd_;
    fd_ = -1;
    // close() is not retried on EINTR: the descriptor is gone either way.
    if (::close(fd) != 0 && errno != EINTR)
        return Fail(errno);
    return true;
}

} // namespace maroka::transfer
