#include "core/transfer/ChunkReader.h"

#include <cstring>
#include <sys/stat.h>

namespace maroka::transfer {

namespace {
constexpr std::size_t kBufferSize = 1 << 16;
}

ChunkReader::~ChunkReader()
{
    Close();
}

bool ChunkReader::Open(const std::string& path)
{
    Close();
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr)
        return false;
    struct stat info {};
    size_ = fstat(fileno(file_), &info) == 0 ? static_cast<long long>(info.st_size) : 0;
    buffer_.resize(kBufferSize);
    begin_ = end_ = 0;
    position_ = 0;
    failed_ = false;
    return true;
}

bool ChunkReader::Close()
{
    if (file_ == nullptr)
        return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}

bool ChunkReader::Rewind()
{
    if (file_ == nullptr || std::fseek(file_, 0, SEEK_SET) != 0)
        return false;
    begin_ = end_ = 0;
    position_ = 0;
    failed_ = false;
    return true;
}

bool ChunkReader::Fill()
{
    if (begin_ > 0 && begin_ < end_)
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    if (got == 0 && std::ferror(file_))
        failed_ = true;
    end_ += got;
    return got > 0;
}

std::string_view ChunkReader::Next(std::size_t maxBytes)
{
    if (file_ == nullptr || maxBytes == 0)
        return {};
    if (end_ - begin_ < maxBytes)
        Fill();
    const std::size_t available = std::min(maxBytes, end_ - begin_);
    const char* start = buffer_.data() + begin_;
    const void* lf = std::memchr(start, '\n', available);
    const std::size_t length = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1 : available;
    begin_ += length;
    position_ += static_cast<long long>(length);
    return {start, length};
}

} // namespace maroka::transfer
