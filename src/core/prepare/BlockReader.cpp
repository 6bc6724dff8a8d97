#include "core/prepare/BlockReader.h"

#include "core/prepare/BlockOperations.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace maroka::prepare {

BlockReader::BlockReader(std::size_t bufferSize) : buffer_(std::max<std::size_t>(bufferSize, 2 * (kMaxBlock + 2))) {}

BlockReader::~BlockReader()
{
    Close();
}

bool BlockReader::Open(const std::string& path)
{
    Close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        Close();
        return false;
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    begin_ = end_ = 0;
    eof_ = failed_ = false;
    position_ = 0;
    return true;
}

void BlockReader::Fill(std::size_t wanted)
{
    if (end_ - begin_ >= wanted || eof_)
        return;
    if (begin_ > 0) {
        std::memmove(buffer_.Data(), buffer_.Data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    while (end_ < wanted && !eof_) {
        const ssize_t n = ::read(fd_, buffer_.Data() + end_, buffer_.Size() - end_);
        if (n > 0) {
            end_ += static_cast<std::size_t>(n);
        } else if (n == 0) {
            eof_ = true;
        } else if (errno != EINTR) {
            failed_ = true;
            eof_ = true;
        }
    }
}

bool BlockReader::Next(std::string& block)
{
    std::string_view view;
    if (!NextView(view))
        return false;
    block.assign(view);
    return true;
}

bool BlockReader::NextView(std::string_view& block)
{
    if (fd_ < 0)
        return false;
    Fill(kMaxBlock + 2);
    const std::size_t available = end_ - begin_;
    if (available == 0)
        return false;
    const char* p = buffer_.Data() + begin_;
    std::size_t take;
    if (const void* lf = std::memchr(p, '\n', std::min(available, kMaxBlock))) {
        take = static_cast<std::size_t>(static_cast<const char*>(lf) - p) + 1;
    } else if (available <= kMaxBlock) {
        take = available;
    } else {
        const std::string_view view(p, available);
        take = AtCharBoundary(view, kMaxBlock) ? kMaxBlock : kMaxBlock - 1;
        if (p[take] == '\n')
            take += 1;
        else if (p[take] == '\r' && take + 1 < available && p[take + 1] == '\n')
            take += 2;
    }
    block = std::string_view(p, take);
    begin_ += take;
    position_ += take;
    return true;
}

bool BlockReader::Close()
{
    if (fd_ < 0)
        return true;
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
}

} // namespace maroka::prepare
