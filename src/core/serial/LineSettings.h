#pragma once

// The device control block of the open line: every field the port setup
// fills, kept as a plain value so the setup can be checked without a device
// and turned into termios by pure functions.

#include "core/text/ControlCodes.h"

#include <cstdint>

namespace maroka::serial {

inline constexpr std::uint8_t kOneStopBit = 0;
inline constexpr std::uint8_t kTwoStopBits = 2;
inline constexpr std::uint8_t kNoParity = 0;
inline constexpr std::uint8_t kEvenParity = 2;
inline constexpr std::uint8_t kDtrControlHandshake = 2;
inline constexpr std::uint8_t kRtsControlHandshake = 2;
inline constexpr std::uint8_t kXon = text::kXon;
inline constexpr std::uint8_t kXoff13 = text::kXoff13;
inline constexpr std::uint8_t kXoff93 = text::kXoff93;

struct LineSettings {
    std::uint32_t DCBlength = 28;
    std::uint32_t BaudRate = 9600;
    bool fBinary = true;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    std::uint8_t fDtrControl = 0;
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = true;
    bool fOutX = false;
    bool fInX = false;
    bool fErrorChar = false;
    bool fNull = false;
    std::uint8_t fRtsControl = 0;
    bool fAbortOnError = false;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = kNoParity;
    std::uint8_t StopBits = kOneStopBit;
    std::uint8_t XonChar = kXon;
    std::uint8_t XoffChar = kXoff13;
    std::uint8_t ErrorChar = 0;
    std::uint8_t EofChar = 0;
    std::uint8_t EvtChar = 0;

    bool operator==(const LineSettings&) const = default;
};

// Maximum queue sizes as the driver reports them; 0 means "not reported".
struct QueueSizes {
    std::uint32_t maxTransmit = 0;
    std::uint32_t maxReceive = 0;
};

} // namespace maroka::serial
