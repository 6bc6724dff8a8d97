#pragma once

// The control characters a PC and a CNC control exchange on the line, in one
// place for every part of the program.

namespace maroka::text {

inline constexpr unsigned char kNul = 0x00; // tape leader
inline constexpr unsigned char kLf = 0x0A;
inline constexpr unsigned char kCr = 0x0D;
inline constexpr unsigned char kDc1 = 0x11; // XON, also the usual cycle-start signal
inline constexpr unsigned char kDc2 = 0x12; // tape start
inline constexpr unsigned char kDc3 = 0x13; // XOFF
inline constexpr unsigned char kDc4 = 0x14; // tape end
inline constexpr unsigned char kXon = kDc1;
inline constexpr unsigned char kXoff13 = kDc3;
inline constexpr unsigned char kXoff93 = 0x93; // XOFF of controls that send DC3 with the parity bit set

} // namespace maroka::text
