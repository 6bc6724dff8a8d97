#pragma once

// The PC end of the simulated machine's line, opened the plain way a serial
// program opens a device: O_RDWR | O_NOCTTY, raw, non-blocking.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace maroka::test {

class PcSide {
public:
    explicit PcSide(const std::string& path);
    ~PcSide();
    PcSide(const PcSide&) = delete;
    PcSide& operator=(const PcSide&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    // Writes all of `bytes`, waiting for room; false on an error.
    bool Write(std::string_view bytes);
    // Reads what arrives within `wait` (returns early once `atLeast` bytes came).
    std::string Read(std::chrono::milliseconds wait, std::size_t atLeast = SIZE_MAX);

private:
    int fd_ = -1;
};

} // namespace maroka::test
