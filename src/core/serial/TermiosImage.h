#pragma once

// A tty's settings as the kernel's termios2 holds them: the four flag words,
// the control characters and both speeds as plain numbers, so that any rate
// (7200, 14400, ...) can be carried. Free of <termios.h> and <asm/termbits.h>,
// which cannot meet in one translation unit.

#include <array>
#include <cstdint>

namespace maroka::serial {

// Control characters the kernel keeps (its NCCS).
inline constexpr std::size_t kTermiosControlChars = 19;

// The speed field value that says "the rate is in ispeed/ospeed".
inline constexpr std::uint32_t kTermiosBother = 0010000;

struct TermiosImage {
    std::uint32_t iflag = 0;
    std::uint32_t oflag = 0;
    std::uint32_t cflag = 0;
    std::uint32_t lflag = 0;
    std::uint8_t line = 0;
    std::array<std::uint8_t, kTermiosControlChars> cc{};
    std::uint32_t ispeed = 0;
    std::uint32_t ospeed = 0;

    bool operator==(const TermiosImage&) const = default;
};

} // namespace maroka::serial
