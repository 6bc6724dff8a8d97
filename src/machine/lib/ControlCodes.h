#pragma once

// The control characters a CNC control and a PC exchange on the line.

namespace maroka::machine {

inline constexpr unsigned char kNul = 0x00;
inline constexpr unsigned char kLf = 0x0A;
inline constexpr unsigned char kCr = 0x0D;
inline constexpr unsigned char kDc1 = 0x11; // XON, also the usual cycle-start signal
inline constexpr unsigned char kDc2 = 0x12; // tape start
inline constexpr unsigned char kDc3 = 0x13; // XOFF
inline constexpr unsigned char kDc4 = 0x14; // tape end
inline constexpr unsigned char kDc3High = 0x93; // XOFF of controls that set the top bit

} // namespace maroka::machine
