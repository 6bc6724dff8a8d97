#pragma once

// The PC end of the simulated machine's line, opened the plain way a serial
// program opens a device: O_RDWR | O_NOCTTY, raw, non-blocking.

#include "support/PtyPair.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>

namespace maroka::test {

class PcSide {
public:
    explicit PcSide(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        termios tio{};
        if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~PcSide()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    PcSide(const PcSide&) = delete;
    PcSide& operator=(const PcSide&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    bool Write(std::string_view bytes) { return WriteAll(fd_, bytes); }
    // Reads what arrives within `wait` (returns early once `atLeast` bytes came).
    std::string Read(std::chrono::milliseconds wait, std::size_t atLeast = SIZE_MAX)
    {
        return ReadFor(fd_, atLeast, wait);
    }

private:
    int fd_ = -1;
};

} // namespace maroka::test
