#pragma once

// A fixed-size byte buffer that is not zero-filled. Its owners only ever hand
// on bytes they have put there first, and clearing a quarter of a megabyte for
// every file would cost more than building a short program.

#include <cstddef>
#include <memory>

namespace maroka::prepare {

class RawBuffer {
public:
    explicit RawBuffer(std::size_t size) : bytes_(std::make_unique_for_overwrite<char[]>(size)), size_(size) {}

    char* Data() { return bytes_.get(); }
    const char* Data() const { return bytes_.get(); }
    std::size_t Size() const { return size_; }

private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_;
};

} // namespace maroka::prepare
