#pragma once

// Reads a program file block by block through a large buffer of its own:
// a block is a line of at most kMaxBlock bytes, a longer line comes as
// several blocks. The memory used does not depend on the file size.

#include "core/prepare/RawBuffer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace maroka::prepare {

class BlockReader {
public:
    static constexpr std::size_t kMaxBlock = 2047;

    explicit BlockReader(std::size_t bufferSize = 256 * 1024);
    ~BlockReader();
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }

    // The next block with the line end it was read with, if any. False at
    // the end of the file or after a read error (then Failed() is true).
    // A long line is cut so that no two-byte character is split, and a line
    // end that directly follows a cut stays with the block before it rather
    // than making an empty block of its own.
    bool Next(std::string& block);
    // The same without a copy: `block` stays valid until the next call.
    bool NextView(std::string_view& block);

    // The bytes read ahead of the next block: at least kMaxBlock + 2 of them
    // unless the file ends first. Consume(n) takes the first n of them as if
    // they had come through NextView.
    std::string_view Ahead()
    {
        Fill(kMaxBlock + 2);
        return std::string_view(buffer_.Data() + begin_, end_ - begin_);
    }
    void Consume(std::size_t n)
    {
        begin_ += n;
        position_ += n;
    }

    bool Failed() const { return failed_; }
    std::uint64_t Position() const { return position_; }
    std::uint64_t Size() const { return size_; }

    // False when closing failed; the reader is closed either way.
    bool Close();

private:
    void Fill(std::size_t wanted);

    RawBuffer buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    int fd_ = -1;
    bool eof_ = false;
    bool failed_ = false;
    std::uint64_t position_ = 0;
    std::uint64_t size_ = 0;
};

} // namespace maroka::prepare
