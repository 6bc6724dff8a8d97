#pragma once

// Pure translation between the line settings and a tty's termios.
//
//   ToTermios     line settings + the device's current termios -> termios to apply
//   FromTermios   termios read from the device -> the line settings it can report
//   SpeedCode     baud rate -> its B-constant, or kTermiosBother when it has none
//   DataBitMask   the bits of a received byte that carry data (0x7F for 7 bits)
//
// The line is raw (no echo, no canonical mode, no CR/LF translation, VMIN 1,
// VTIME 0 on a non-blocking descriptor, CLOCAL|CREAD). Output flow control toward the machine's XON/XOFF is
// done by the serial layer itself, so IXON is never set; IXOFF lets the kernel
// hold the machine off when our input fills. Parity is generated but not
// checked (no INPCK, no PARMRK): a parity error is not a line error here.

#include "core/serial/LineSettings.h"
#include "core/serial/TermiosImage.h"

#include <cstdint>

namespace maroka::serial {

// Fields not derived from the settings (c_line, HUPCL, the other control
// characters) keep the values of `current`.
TermiosImage ToTermios(const LineSettings& settings, const TermiosImage& current);

// Overwrites in `settings` the fields a termios carries: BaudRate, ByteSize,
// Parity, StopBits, fBinary, fOutxCtsFlow, fRtsControl (handshake when
// CRTSCTS is set), fInX, XonChar, XoffChar. The others are left alone.
void FromTermios(const TermiosImage& termios, LineSettings& settings);

std::uint32_t SpeedCode(std::uint32_t baudRate);

std::uint8_t DataBitMask(std::uint8_t byteSize);

} // namespace maroka::serial
