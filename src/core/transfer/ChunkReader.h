#pragma once

// Reads a send file in chunks of at most N bytes that end after a line feed
// when one comes first, through a large buffer of its own so a chunk of one
// byte costs no system call.

#include <cstdio>
#include <string>
#include <string_view>

namespace maroka::transfer {

class ChunkReader {
public:
    ChunkReader() = default;
    ~ChunkReader();
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;

    bool Open(const std::string& path);
    bool Close();
    bool IsOpen() const { return file_ != nullptr; }
    bool Rewind();
    long long Size() const { return size_; }
    long long Position() const { return position_; }

    // The next chunk, empty at the end of the file (or on a read error,
    // which Failed() then reports).
    std::string_view Next(std::size_t maxBytes);
    bool Failed() const { return failed_; }

private:
    bool Fill();

    std::FILE* file_ = nullptr;
    std::string buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    long long size_ = 0;
    long long position_ = 0;
    bool failed_ = false;
};

} // namespace maroka::transfer
