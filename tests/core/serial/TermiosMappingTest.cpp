#include "core/serial/TermiosMapping.h"

#include <gtest/gtest.h>
#include <termios.h>

namespace maroka::serial {
namespace {

// The line as the port setup builds it before every transfer.
LineSettings MachineLine()
{
    LineSettings s;
    s.BaudRate = 4800;
    s.StopBits = kTwoStopBits;
    s.ByteSize = 7;
    s.Parity = kEvenParity;
    s.fOutxCtsFlow = true;
    s.fRtsControl = kRtsControlHandshake;
    s.fOutX = true;
    s.fInX = true;
    s.fNull = true;
    s.XoffChar = kXoff93;
    s.EvtChar = kXon;
    s.XoffLim = 682;
    return s;
}

// What a tty holds before anyone set it: canonical, echoing, translating,
// and with a frame and speed of its own that must not linger.
TermiosImage CookedTty()
{
    TermiosImage t;
    t.iflag = ICRNL | IXON | IXOFF | IXANY | IMAXBEL | IUTF8 | BRKINT | INPCK | PARMRK | ISTRIP | IGNBRK;
    t.oflag = OPOST | ONLCR;
    t.cflag = B38400 | CS6 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CREAD | HUPCL;
    t.lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | IEXTEN | ECHOCTL | ECHOKE;
    t.cc[VINTR] = 3;
    t.cc[VTIME] = 5;
    t.ispeed = t.ospeed = 38400;
    return t;
}

// The bits of the frame and speed, all derived from the settings.
constexpr std::uint32_t kFrame = CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

// Each choice the setup makes, from the machine line, on a tty left with
// other choices; then read back over settings that hold other values. The
// line is always raw, and what the settings do not speak of stays.
TEST(TermiosMapping, EachSettingHasItsFlagsAndReadsBack)
{
    struct Case {
        const char* what;
        void (*change)(LineSettings&);
        std::uint32_t frame;
        bool ixoff;
    };
    const std::uint32_t machine = B4800 | CS7 | PARENB | CSTOPB | CRTSCTS;
    const Case cases[] = {
        {"machine line", [](LineSettings&) {}, machine, true},
        {"ASC 8N1, XOFF 13, no handshakes",
         [](LineSettings& s) { s = LineSettings{.BaudRate = 4800, .fRtsControl = 1}; }, B4800 | CS8, false},
        {"odd", [](LineSettings& s) { s.Parity = 1; }, machine | PARODD, true},
        {"mark", [](LineSettings& s) { s.Parity = 3; }, machine | PARODD | CMSPAR, true},
        {"space", [](LineSettings& s) { s.Parity = 4; }, machine | CMSPAR, true},
        {"none", [](LineSettings& s) { s.Parity = kNoParity; }, machine & ~PARENB, true},
        {"5 bits", [](LineSettings& s) { s.ByteSize = 5; }, (machine & ~CSIZE) | CS5, true},
        {"75", [](LineSettings& s) { s.BaudRate = 75; }, (machine & ~CBAUD) | B75, true},
        {"38400", [](LineSettings& s) { s.BaudRate = 38400; }, (machine & ~CBAUD) | B38400, true},
        {"115200", [](LineSettings& s) { s.BaudRate = 115200; }, (machine & ~CBAUD) | B115200, true},
        {"7200", [](LineSettings& s) { s.BaudRate = 7200; }, (machine & ~CBAUD) | kTermiosBother, true},
        {"14400", [](LineSettings& s) { s.BaudRate = 14400; }, (machine & ~CBAUD) | kTermiosBother, true},
        {"128000", [](LineSettings& s) { s.BaudRate = 128000; }, (machine & ~CBAUD) | kTermiosBother, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LineSettings s = MachineLine();
        c.change(s);
        const TermiosImage t = ToTermios(s, CookedTty());
        EXPECT_EQ(t.cflag & kFrame, c.frame);
        EXPECT_EQ(t.ispeed, s.BaudRate);
        EXPECT_EQ(t.ospeed, s.BaudRate);
        EXPECT_EQ((t.iflag & IXOFF) != 0, c.ixoff);
        EXPECT_EQ(t.cc[VSTOP], s.XoffChar);
        EXPECT_EQ(t.cc[VSTART], 0x11);
        // The kernel answers our full input with XOFF (IXOFF above); it never
        // obeys the machine's, which is the layer's job.
        EXPECT_EQ(t.iflag & (IXON | IXANY), 0U);
        EXPECT_EQ(t.iflag & (INPCK | PARMRK | IGNBRK | BRKINT | ISTRIP | ICRNL | INLCR | IGNCR | IUTF8), 0U);
        EXPECT_EQ(t.oflag & OPOST, 0U);
        EXPECT_EQ(t.lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0U);
        EXPECT_EQ(t.cflag & (CREAD | CLOCAL | HUPCL), static_cast<std::uint32_t>(CREAD | CLOCAL | HUPCL));
        EXPECT_EQ(t.cc[VMIN], 1) << "an empty non-blocking read must say EAGAIN, not 0";
        EXPECT_EQ(t.cc[VTIME], 0);
        EXPECT_EQ(t.cc[VINTR], 3);

        // Fields termios cannot hold are not touched.
        LineSettings back = s;
        back.BaudRate = 1;
        back.ByteSize = 6;
        back.Parity = 9;
        back.StopBits = 1;
        back.fBinary = false;
        back.fOutxCtsFlow = !s.fOutxCtsFlow;
        back.fRtsControl = kRtsControlHandshake;
        back.fInX = !s.fInX;
        back.XonChar = back.XoffChar = 0;
        FromTermios(t, back);
        EXPECT_EQ(back, s);
    }
}

// Either half of the RTS/CTS handshake asks for it; the tty then reports both.
TEST(TermiosMapping, EitherHalfOfTheHandshakeAsksForIt)
{
    for (const bool cts : {false, true}) {
        LineSettings s = MachineLine();
        s.fOutxCtsFlow = cts;
        s.fRtsControl = cts ? 0 : kRtsControlHandshake;
        LineSettings back;
        FromTermios(ToTermios(s, CookedTty()), back);
        EXPECT_TRUE(back.fOutxCtsFlow) << cts;
        EXPECT_EQ(back.fRtsControl, kRtsControlHandshake) << cts;
    }
}

} // namespace
} // namespace maroka::serial
