#pragma once

// Writes the prepared send file through a large buffer of its own. A failed
// write is remembered: every later call fails too.

#include "core/prepare/RawBuffer.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace maroka::prepare {

class BlockWriter {
public:
    explicit BlockWriter(std::size_t bufferSize = 256 * 1024);
    ~BlockWriter();
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // Creates or truncates `path`.
    bool Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }

    bool Write(std::string_view bytes);
    // `line` followed by `end`.
    bool WriteLine(std::string_view line, std::string_view end)
    {
        if (fd_ >= 0 && !failed_ && used_ + line.size() + end.size() <= buffer_.Size()) {
            char* out = buffer_.Data() + used_;
            std::memcpy(out, line.data(), line.size());
            std::memcpy(out + line.size(), end.data(), end.size());
            used_ += line.size() + end.size();
            return true;
        }
        return Write(line) && Write(end);
    }
    bool Flush();

    // Writes what is buffered and closes. `flushed` tells the two failures
    // apart; the writer is closed either way.
    bool Close(bool* flushed = nullptr);

    std::uint64_t BytesWritten() const { return written_ + used_; }

private:
    bool WriteAll(const char* data, std::size_t size);

    RawBuffer buffer_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
    int fd_ = -1;
    bool failed_ = false;
};

} // namespace maroka::prepare
