#include "core/prepare/BlockWriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace maroka::prepare {

BlockWriter::BlockWriter(std::size_t bufferSize) : buffer_(bufferSize > 0 ? bufferSize : 1) {}

BlockWriter::~BlockWriter()
{
    Close();
}

bool BlockWriter::Open(const std::string& path)
{
    Close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    used_ = 0;
    written_ = 0;
    failed_ = fd_ < 0;
    return fd_ >= 0;
}

bool BlockWriter::WriteAll(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failed_ = true;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        written_ += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool BlockWriter::Write(std::string_view bytes)
{
    if (fd_ < 0 || failed_)
        return false;
    if (used_ + bytes.size() <= buffer_.Size()) {
        std::memcpy(buffer_.Data() + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
        return true;
    }
    if (!Flush())
        return false;
    if (bytes.size() >= buffer_.Size())
        return WriteAll(bytes.data(), bytes.size());
    std::memcpy(buffer_.Data(), bytes.data(), bytes.size());
    used_ = bytes.size();
    return true;
}

bool BlockWriter::Flush()
{
    if (fd_ < 0 || failed_)
        return false;
    const std::size_t used = used_;
    used_ = 0;
    return WriteAll(buffer_.Data(), used);
}

bool BlockWriter::Close(bool* flushed)
{
    if (fd_ < 0) {
        if (flushed != nullptr)
            *flushed = true;
        return true;
    }
    const bool flushOk = Flush();
    if (flushed != nullptr)
        *flushed = flushOk;
    const bool closeOk = ::close(fd_) == 0;
    fd_ = -1;
    used_ = 0;
    return flushOk && closeOk;
}

} // namespace maroka::prepare
