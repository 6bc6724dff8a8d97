#include "core/serial/TermiosMapping.h"

#include <termios.h>

#include <utility>

namespace maroka::serial {

namespace {

static_assert(VMIN < kTermiosControlChars && VTIME < kTermiosControlChars && VSTART < kTermiosControlChars &&
              VSTOP < kTermiosControlChars);
static_assert((CBAUD & kTermiosBother) == kTermiosBother && (B38400 & kTermiosBother) == 0);

constexpr std::pair<std::uint32_t, std::uint32_t> kSpeedCodes[] = {
    {0, B0},
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {500000, B500000},
    {576000, B576000},
    {921600, B921600},
    {1000000, B1000000},
    {1152000, B1152000},
    {1500000, B1500000},
    {2000000, B2000000},
    {2500000, B2500000},
    {3000000, B3000000},
    {3500000, B3500000},
    {4000000, B4000000},
};

// Rate of a B-constant; 0 for an unknown code (and for B0).
std::uint32_t RateOfCode(std::uint32_t code)
{
    for (const auto& [rate, speedCode] : kSpeedCodes) {
        if (speedCode == code)
            return rate;
    }
    return 0;
}

std::uint32_t SizeFlag(std::uint8_t byteSize)
{
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

std::uint32_t ParityFlags(std::uint8_t parity)
{
    switch (parity) {
    case 1: // odd
        return PARENB | PARODD;
    case kEvenParity:
        return PARENB;
    case 3: // mark
        return PARENB | PARODD | CMSPAR;
    case 4: // space
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

} // namespace

std::uint32_t SpeedCode(std::uint32_t baudRate)
{
    for (const auto& [rate, code] : kSpeedCodes) {
        if (rate == baudRate)
            return code;
    }
    return kTermiosBother;
}

std::uint8_t DataBitMask(std::uint8_t byteSize)
{
    if (byteSize >= 5 && byteSize <= 7)
        return static_cast<std::uint8_t>((1U << byteSize) - 1U);
    return 0xFF;
}

TermiosImage ToTermios(const LineSettings& settings, const TermiosImage& current)
{
    TermiosImage t = current;

    // Raw bytes both ways. A received break reads as a NUL (no BRKINT,
    // no IGNBRK) and is counted by the driver.
    t.iflag &= ~static_cast<std::uint32_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL |
                                           IUCLC | IXON | IXANY | IXOFF | IMAXBEL | IUTF8);
    if (settings.fInX)
        t.iflag |= IXOFF;
    t.oflag &= ~static_cast<std::uint32_t>(OPOST);
    t.lflag &= ~static_cast<std::uint32_t>(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE | ICANON | ISIG |
                                           IEXTEN | NOFLSH | TOSTOP | XCASE);

    t.cflag &= ~static_cast<std::uint32_t>(CBAUD | CIBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    t.cflag |= CREAD | CLOCAL | SizeFlag(settings.ByteSize) | ParityFlags(settings.Parity);
    if (settings.StopBits != kOneStopBit)
        t.cflag |= CSTOPB;
    if (settings.fOutxCtsFlow || settings.fRtsControl == kRtsControlHandshake)
        t.cflag |= CRTSCTS;
    t.cflag |= SpeedCode(settings.BaudRate);
    t.ispeed = settings.BaudRate;
    t.ospeed = settings.BaudRate;

    // The descriptor is non-blocking, so VMIN 1 never waits; it makes an empty
    // read say EAGAIN, where VMIN 0 would return 0 just as after a hang-up.
    t.cc[VMIN] = 1;
    t.cc[VTIME] = 0;
    t.cc[VSTART] = settings.XonChar;
    t.cc[VSTOP] = settings.XoffChar;
    return t;
}

void FromTermios(const TermiosImage& t, LineSettings& settings)
{
    const std::uint32_t code = t.cflag & CBAUD;
    settings.BaudRate = code == kTermiosBother ? t.ospeed : RateOfCode(code);

    switch (t.cflag & CSIZE) {
    case CS5:
        settings.ByteSize = 5;
        break;
    case CS6:
        settings.ByteSize = 6;
        break;
    case CS7:
        settings.ByteSize = 7;
        break;
    default:
        settings.ByteSize = 8;
        break;
    }

    if ((t.cflag & PARENB) == 0)
        settings.Parity = kNoParity;
    else if ((t.cflag & CMSPAR) != 0)
        settings.Parity = (t.cflag & PARODD) != 0 ? 3 : 4;
    else
        settings.Parity = (t.cflag & PARODD) != 0 ? 1 : kEvenParity;

    settings.StopBits = (t.cflag & CSTOPB) != 0 ? kTwoStopBits : kOneStopBit;
    settings.fBinary = true;

    const bool rtsCts = (t.cflag & CRTSCTS) != 0;
    settings.fOutxCtsFlow = rtsCts;
    if (rtsCts)
        settings.fRtsControl = kRtsControlHandshake;
    else if (settings.fRtsControl == kRtsControlHandshake)
        settings.fRtsControl = 1; // without the handshake the driver simply holds RTS on

    settings.fInX = (t.iflag & IXOFF) != 0;
    settings.XonChar = t.cc[VSTART];
    settings.XoffChar = t.cc[VSTOP];
}

} // namespace maroka::serial
