#include "core/serial/TermiosMapping.h"
#include "core/serial/PosixSerialLine.h"
#include "core/serial/TermiosDevice.h"
#include "support/PtyPair.h"

#include <gtest/gtest.h>
#include <termios.h>

namespace maroka::serial {
namespace {

// The line as the port setup builds it before every transfer.
serial::LineSettings MachineLine()
{
    serial::LineSettings s;
    s.BaudRate = 4800;
    s.StopBits = serial::kTwoStopBits;
    s.ByteSize = 7;
    s.Parity = kEvenParity;
    s.fParity = true;
    s.fOutxCtsFlow = true;
    s.fOutxDsrFlow = true;
    s.fDtrControl = serial::kDtrControlHandshake;
    s.fRtsControl = serial::kRtsControlHandshake;
    s.fDsrSensitivity = true;
    s.fOutX = true;
    s.fInX = true;
    s.fTXContinueOnXoff = false;
    s.fNull = true;
    s.fAbortOnError = true;
    s.XonChar = serial::kXon;
    s.XoffChar = serial::kXoff93;
    s.EvtChar = serial::kXon;
    s.XonLim = 341;
    s.XoffLim = 682;
    return s;
}

// What a tty holds before anyone set it: canonical, echoing, translating.
serial::TermiosImage CookedTty()
{
    serial::TermiosImage t;
    t.iflag = ICRNL | IXON | IXANY | IMAXBEL | IUTF8 | BRKINT | INPCK | PARMRK | ISTRIP | IGNBRK;
    t.oflag = OPOST | ONLCR;
    t.cflag = B38400 | CS8 | CREAD | HUPCL;
    t.lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | IEXTEN | ECHOCTL | ECHOKE;
    t.line = 0;
    t.cc[VINTR] = 3;
    t.cc[VMIN] = 0;
    t.cc[VTIME] = 5;
    t.ispeed = t.ospeed = 38400;
    return t;
}

TEST(TermiosMapping, MachineLineIsRawSevenEvenTwoStopsWithHandshakes)
{
    const serial::TermiosImage t = serial::ToTermios(MachineLine(), CookedTty());

    EXPECT_EQ(t.cflag & CSIZE, static_cast<std::uint32_t>(CS7));
    EXPECT_NE(t.cflag & PARENB, 0U);
    EXPECT_EQ(t.cflag & (PARODD | CMSPAR), 0U);
    EXPECT_NE(t.cflag & CSTOPB, 0U);
    EXPECT_NE(t.cflag & CRTSCTS, 0U);
    EXPECT_EQ(t.cflag & (CREAD | CLOCAL), static_cast<std::uint32_t>(CREAD | CLOCAL));
    EXPECT_EQ(t.cflag & CBAUD, static_cast<std::uint32_t>(B4800));
    EXPECT_EQ(t.ospeed, 4800U);

    // The kernel answers our full input with XOFF 0x93; it never obeys the
    // machine's (that is the layer's job).
    EXPECT_NE(t.iflag & IXOFF, 0U);
    EXPECT_EQ(t.iflag & (IXON | IXANY), 0U);
    EXPECT_EQ(t.cc[VSTART], 0x11);
    EXPECT_EQ(t.cc[VSTOP], 0x93);

    // Raw: no parity check or marking, no break handling, no translation.
    EXPECT_EQ(t.iflag & (INPCK | PARMRK | IGNBRK | BRKINT | ISTRIP | ICRNL | INLCR | IGNCR | IUTF8), 0U);
    EXPECT_EQ(t.oflag & OPOST, 0U);
    EXPECT_EQ(t.lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0U);
    EXPECT_EQ(t.cc[VMIN], 1) << "an empty non-blocking read must say EAGAIN, not 0";
    EXPECT_EQ(t.cc[VTIME], 0);

    // What the settings do not speak of stays as the device had it.
    EXPECT_NE(t.cflag & HUPCL, 0U);
    EXPECT_EQ(t.cc[VINTR], 3);
}

TEST(TermiosMapping, CodeDc3StopBitsAndHandshakeChoices)
{
    serial::LineSettings asc = MachineLine();
    asc.ByteSize = 8;
    asc.Parity = serial::kNoParity;
    asc.StopBits = serial::kOneStopBit;
    asc.XoffChar = serial::kXoff13;
    asc.fOutxCtsFlow = false;
    asc.fRtsControl = 1;
    asc.fInX = false;
    const serial::TermiosImage t = serial::ToTermios(asc, CookedTty());
    EXPECT_EQ(t.cflag & CSIZE, static_cast<std::uint32_t>(CS8));
    EXPECT_EQ(t.cflag & (PARENB | CSTOPB | CRTSCTS), 0U);
    EXPECT_EQ(t.iflag & (IXOFF | IXON), 0U);
    EXPECT_EQ(t.cc[VSTOP], 0x13);

    // Either half of the RTS/CTS handshake asks for it.
    asc.fRtsControl = serial::kRtsControlHandshake;
    EXPECT_NE(serial::ToTermios(asc, CookedTty()).cflag & CRTSCTS, 0U);
    asc.fRtsControl = 0;
    asc.fOutxCtsFlow = true;
    EXPECT_NE(serial::ToTermios(asc, CookedTty()).cflag & CRTSCTS, 0U);

    // A previous odd parity and stop bits do not linger.
    serial::TermiosImage before = CookedTty();
    before.cflag |= PARENB | PARODD | CMSPAR | CSTOPB | CS7;
    const serial::TermiosImage cleared = serial::ToTermios(asc, before);
    EXPECT_EQ(cleared.cflag & (PARENB | PARODD | CMSPAR | CSTOPB), 0U);
    EXPECT_EQ(cleared.cflag & CSIZE, static_cast<std::uint32_t>(CS8));
}

TEST(TermiosMapping, SpeedsWithoutAConstantGoThroughBother)
{
    for (std::uint32_t rate : {7200U, 14400U, 56000U, 128000U}) {
        serial::LineSettings s = MachineLine();
        s.BaudRate = rate;
        const serial::TermiosImage t = serial::ToTermios(s, CookedTty());
        EXPECT_EQ(t.cflag & CBAUD, serial::kTermiosBother) << rate;
        EXPECT_EQ(t.cflag & CIBAUD, 0U) << rate;
        EXPECT_EQ(t.ispeed, rate);
        EXPECT_EQ(t.ospeed, rate);
        serial::LineSettings back;
        serial::FromTermios(t, back);
        EXPECT_EQ(back.BaudRate, rate);
    }
    for (std::uint32_t rate : {75U, 110U, 1200U, 9600U, 19200U, 38400U, 115200U}) {
        EXPECT_NE(serial::SpeedCode(rate), serial::kTermiosBother) << rate;
        serial::LineSettings s;
        s.BaudRate = rate;
        serial::LineSettings back;
        serial::FromTermios(serial::ToTermios(s, CookedTty()), back);
        EXPECT_EQ(back.BaudRate, rate);
    }
    EXPECT_EQ(serial::SpeedCode(9600), static_cast<std::uint32_t>(B9600));
}

TEST(TermiosMapping, ReadBackReportsTermiosFieldsAndLeavesTheRest)
{
    const serial::LineSettings set = MachineLine();
    serial::LineSettings back; // defaults: 9600 8N1, no handshakes
    back.fOutX = true;
    back.XonLim = 7;
    serial::FromTermios(serial::ToTermios(set, CookedTty()), back);
    EXPECT_EQ(back.BaudRate, set.BaudRate);
    EXPECT_EQ(back.ByteSize, 7);
    EXPECT_EQ(back.Parity, kEvenParity);
    EXPECT_EQ(back.StopBits, serial::kTwoStopBits);
    EXPECT_TRUE(back.fOutxCtsFlow);
    EXPECT_EQ(back.fRtsControl, serial::kRtsControlHandshake);
    EXPECT_TRUE(back.fInX);
    EXPECT_EQ(back.XonChar, 0x11);
    EXPECT_EQ(back.XoffChar, 0x93);
    // Fields termios cannot hold are not touched.
    EXPECT_TRUE(back.fOutX);
    EXPECT_EQ(back.XonLim, 7);
    EXPECT_EQ(back.EvtChar, 0);

    // Without the handshake RTS is simply on.
    serial::TermiosImage plain = CookedTty();
    serial::FromTermios(plain, back);
    EXPECT_FALSE(back.fOutxCtsFlow);
    EXPECT_EQ(back.fRtsControl, 1);
    EXPECT_EQ(back.BaudRate, 38400U);
    EXPECT_EQ(back.ByteSize, 8);
    EXPECT_EQ(back.Parity, serial::kNoParity);
    EXPECT_EQ(back.StopBits, serial::kOneStopBit);

    for (std::uint8_t parity : {1, 2, 3, 4}) {
        serial::LineSettings s;
        s.Parity = parity;
        serial::LineSettings r;
        serial::FromTermios(serial::ToTermios(s, CookedTty()), r);
        EXPECT_EQ(r.Parity, parity);
    }
}

TEST(TermiosMapping, DataBitMask)
{
    EXPECT_EQ(serial::DataBitMask(7), 0x7F);
    EXPECT_EQ(serial::DataBitMask(8), 0xFF);
    EXPECT_EQ(serial::DataBitMask(5), 0x1F);
    EXPECT_EQ(serial::DataBitMask(0), 0xFF);
}

// A pty keeps speed (also 7200), CSTOPB, CRTSCTS, the control characters and
// the input flags, but forces CS8 without parity: only those are compared.
TEST(TermiosMapping, PtyKeepsWhatItCan)
{
    test::PtyPair pty;
    auto opened = serial::PosixSerialLine::Open(pty.SlavePath());
    ASSERT_TRUE(opened.line) << opened.error;
    serial::PosixSerialLine& line = *opened.line;

    serial::LineSettings s = MachineLine();
    s.BaudRate = 7200;
    ASSERT_TRUE(line.SetState(s)) << line.LastError();

    serial::LineSettings back;
    ASSERT_TRUE(line.GetState(back)) << line.LastError();
    EXPECT_EQ(back.BaudRate, 7200U);
    EXPECT_EQ(back.StopBits, serial::kTwoStopBits);
    EXPECT_TRUE(back.fOutxCtsFlow);
    EXPECT_TRUE(back.fInX);
    EXPECT_EQ(back.XonChar, 0x11);
    EXPECT_EQ(back.XoffChar, 0x93);
    // Kept by the layer, not by the tty.
    EXPECT_TRUE(back.fOutX);
    EXPECT_TRUE(back.fNull);
    EXPECT_EQ(back.EvtChar, serial::kXon);
    EXPECT_EQ(back.XoffLim, 682);

    serial::TermiosImage t;
    ASSERT_EQ(serial::ReadTermios(serial::SystemCalls::Real(), pty.HeldSlave(), t), 0);
    EXPECT_EQ(t.ospeed, 7200U);
    EXPECT_NE(t.iflag & IXOFF, 0U);
    EXPECT_EQ(t.iflag & (IXON | ICRNL | INPCK | PARMRK | ISTRIP), 0U);
    EXPECT_EQ(t.lflag & (ICANON | ECHO | ISIG), 0U);

    s.BaudRate = 19200;
    s.StopBits = serial::kOneStopBit;
    s.XoffChar = serial::kXoff13;
    s.fInX = false;
    s.fOutxCtsFlow = false;
    s.fRtsControl = 1;
    ASSERT_TRUE(line.SetState(s)) << line.LastError();
    ASSERT_TRUE(line.GetState(back));
    EXPECT_EQ(back.BaudRate, 19200U);
    EXPECT_EQ(back.StopBits, serial::kOneStopBit);
    EXPECT_FALSE(back.fOutxCtsFlow);
    EXPECT_FALSE(back.fInX);
    EXPECT_EQ(back.XoffChar, 0x13);
}

} // namespace
} // namespace maroka::serial
