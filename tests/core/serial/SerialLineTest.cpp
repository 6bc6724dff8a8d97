#include "SerialTestSupport.h"
#include "core/serial/PortNames.h"
#include "core/serial/TermiosDevice.h"
#include "core/serial/TermiosMapping.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace maroka::serial {
namespace {

using namespace test; // the helpers, and std::chrono_literals with them
using maroka::test::PtyPair;

bool Exclusive(const PtyPair& pty)
{
    int exclusive = -1;
    EXPECT_EQ(ioctl(pty.HeldSlave(), TIOCGEXCL, &exclusive), 0);
    return exclusive == 1;
}

TEST(SerialLine, OpensExclusivelyUntilClosedAndSaysWhyItCannotOpen)
{
    PtyPair pty;
    EXPECT_TRUE(ProbePort(pty.SlavePath()).usable);
    auto first = PosixSerialLine::Open(pty.SlavePath());
    ASSERT_TRUE(first.line) << first.error;
    EXPECT_EQ(first.line->Name(), pty.SlavePath());
    EXPECT_TRUE(Exclusive(pty));
    // Also as root, where TIOCEXCL lets a second open through.
    auto second = PosixSerialLine::Open(pty.SlavePath());
    EXPECT_FALSE(second.line);
    EXPECT_EQ(second.errorNumber, EBUSY);
    EXPECT_NE(second.error.find(pty.SlavePath()), std::string::npos);
    const ProbeResult busy = ProbePort(pty.SlavePath());
    EXPECT_FALSE(busy.usable);
    EXPECT_FALSE(busy.closeFailed);
    EXPECT_NE(busy.error.find("in use"), std::string::npos) << busy.error;

    EXPECT_TRUE(first.line->Close());
    EXPECT_TRUE(first.line->Close()) << "closing twice is harmless";
    // Others holding the tty open (here the pair) must not be left locked out.
    EXPECT_FALSE(Exclusive(pty));
    EXPECT_TRUE(ProbePort(pty.SlavePath()).usable) << "closing the line frees the port";

    maroka::test::TempDir dir;
    EXPECT_EQ(PosixSerialLine::Open((dir / "ttyNone").string()).errorNumber, ENOENT);
    maroka::test::WriteFileBytes(dir / "plain", "x");
    auto plain = PosixSerialLine::Open((dir / "plain").string());
    EXPECT_FALSE(plain.line);
    EXPECT_EQ(plain.errorNumber, ENOTTY);
    EXPECT_NE(plain.error.find("not a serial device"), std::string::npos);
    EXPECT_FALSE(ProbePort((dir / "plain").string()).usable);
    EXPECT_FALSE(ProbePort((dir / "ttyNone").string()).usable);
}

// What each setting turns into is the mapping's own test; here, that the
// image reaches the tty: its speed (also one without a B-constant), its input
// flags and its control characters. A pty forces CS8 without parity.
TEST(SerialLine, SettingsReachTheTtyAndCloseGivesItsOwnBack)
{
    PtyPair pty;
    TermiosImage before;
    ASSERT_EQ(ReadTermios(SystemCalls::Real(), pty.HeldSlave(), before), 0);
    auto opened = PosixSerialLine::Open(pty.SlavePath());
    ASSERT_TRUE(opened.line) << opened.error;
    PosixSerialLine& line = *opened.line;
    LineSettings s = AscLine(kXoff93, 7200);
    s.StopBits = kTwoStopBits;
    s.fOutxCtsFlow = true;
    s.fRtsControl = kRtsControlHandshake;
    s.fInX = true;
    s.XoffLim = 682;
    ASSERT_TRUE(line.SetState(s)) << line.LastError();
    TermiosImage t;
    ASSERT_EQ(ReadTermios(SystemCalls::Real(), pty.HeldSlave(), t), 0);
    EXPECT_EQ(t.ospeed, s.BaudRate);
    EXPECT_NE(t.iflag & IXOFF, 0U);
    EXPECT_EQ(t.cc[VSTOP], s.XoffChar);
    // What the tty cannot hold the line keeps.
    LineSettings back;
    ASSERT_TRUE(line.GetState(back));
    EXPECT_EQ(back, s);
    LineSettings zero = s;
    zero.BaudRate = 0;
    EXPECT_FALSE(line.SetState(zero)) << "B0 would hang the line up";

    EXPECT_TRUE(line.Close());
    TermiosImage after;
    ASSERT_EQ(ReadTermios(SystemCalls::Real(), pty.HeldSlave(), after), 0);
    EXPECT_EQ(after, before);
    // A closed line refuses politely.
    EXPECT_FALSE(line.GetState(s));
    EXPECT_EQ(line.Write("x", 1).status, IoStatus::Failed);
    EXPECT_NE(line.LastError().find("not open"), std::string::npos);
}

// Signals and one-byte writes change nothing in what crosses the line.
TEST_F(PtyLine, EveryByteValueCrossesBothWaysAndFailuresReachTheCaller)
{
    ASSERT_TRUE(line->SetState(test::TransparentLine()));
    sys.interruptEveryOther = true;
    sys.maxWrite = 1;
    const std::string out = AllBytes(8 * 256);
    IoResult r = line->Write(out.data(), out.size());
    EXPECT_EQ(r.status, IoStatus::Ok);
    EXPECT_EQ(r.count, out.size());
    EXPECT_EQ(pty.ReadMaster(out.size(), 5s), out);
    const std::string in = AllBytes(3 * 256);
    pty.WriteMaster(in);
    EXPECT_EQ(ReadFromLine(*line, in.size()), in);

    // The device fails after 100 bytes: the write says how far it got.
    sys.interruptEveryOther = false;
    sys.maxWrite = 0;
    sys.writeBudget = 100;
    r = line->Write(out.data(), out.size());
    EXPECT_EQ(r.status, IoStatus::Failed);
    EXPECT_EQ(r.count, 100U);
    EXPECT_FALSE(line->LastError().empty());
    EXPECT_EQ(pty.ReadMaster(100, 2s), out.substr(0, 100));
}

TEST_F(PtyLine, WaitEventEndsOnDataOrDc1AndReportsDc1Once)
{
    std::uint32_t events = 0;
    pty.WriteMaster("x");
    EXPECT_EQ(line->WaitEvent(kEvAllButTxEmpty, events), IoStatus::Ok);
    EXPECT_EQ(events, static_cast<std::uint32_t>(kEvRxChar));
    ASSERT_TRUE(line->Purge(kPurgeRxClear));

    // DC1 is flow control, yet it ends the wait for the machine.
    auto far = After(50ms, [&] { pty.WriteMaster("\x11"); });
    EXPECT_EQ(line->WaitEvent(kEvAllButTxEmpty, events), IoStatus::Ok);
    EXPECT_EQ(events, static_cast<std::uint32_t>(kEvRxFlag));
    LineErrorState state;
    ASSERT_TRUE(line->ClearErrors(state));
    EXPECT_EQ(state.inputQueued, 0U);

    // Reported once; a DC1 does not end a wait for data; a pty has no modem
    // lines, which means "never", not a failure.
    pty.WriteMaster("\x11");
    auto stopper = After(150ms, [&] { line->Interrupt(); });
    EXPECT_EQ(line->WaitEvent(kEvRxChar | kEvCts | kEvDsr | kEvRlsd | kEvBreak | kEvErr, events),
              IoStatus::Interrupted);
    EXPECT_EQ(events, 0U);
    stopper.join();
    line->ClearInterrupt();

    // The DC1 that arrived meanwhile is still pending.
    EXPECT_EQ(line->WaitEvent(kEvRxFlag, events), IoStatus::Ok);
    EXPECT_EQ(events, static_cast<std::uint32_t>(kEvRxFlag));
}

// How soon an interrupt wakes a wait that is under way, the held write
// shows (SerialFlowControlTest); here it holds every call off until cleared.
TEST_F(PtyLine, AnInterruptEndsEveryCallUntilCleared)
{
    std::uint32_t events = 0;
    line->Interrupt();
    pty.WriteMaster("data");
    char buffer[16];
    EXPECT_EQ(line->WaitEvent(kEvRxChar, events), IoStatus::Interrupted);
    EXPECT_EQ(line->WaitReadable(5000), IoStatus::Interrupted);
    EXPECT_EQ(line->ReadAvailable(buffer, sizeof buffer).status, IoStatus::Interrupted);
    const IoResult w = line->Write("abc", 3);
    EXPECT_EQ(w.status, IoStatus::Interrupted);
    EXPECT_EQ(w.count, 0U);

    line->ClearInterrupt();
    EXPECT_EQ(ReadFromLine(*line, 4), "data");
    EXPECT_EQ(line->Write("abc", 3).status, IoStatus::Ok);
    EXPECT_EQ(pty.ReadMaster(3, 1s), "abc");
}

// The far side goes while a write is held by XOFF: the write ends with the
// device gone, and so does every later call.
TEST_F(PtyLine, HangUpFailsPendingCallsInsteadOfHanging)
{
    HoldOutput();
    const auto hangUp = After(100ms, [&] { pty.CloseMaster(); });
    const IoResult written = line->Write("held", 4);
    EXPECT_EQ(written.status, IoStatus::Failed);
    EXPECT_EQ(written.count, 0U);
    EXPECT_NE(line->LastError().find(kDeviceGoneText), std::string::npos) << line->LastError();

    std::uint32_t events = 0;
    char buffer[8];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(line->WaitEvent(kEvAllButTxEmpty, events), IoStatus::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(line->ReadAvailable(buffer, sizeof buffer).status, IoStatus::Failed);
    EXPECT_EQ(line->WaitReadable(1000), IoStatus::Failed);
    LineErrorState state;
    EXPECT_FALSE(line->ClearErrors(state));
    EXPECT_EQ(line->Write("x", 1).status, IoStatus::Failed);
    EXPECT_TRUE(line->Close()) << "a vanished device can still be let go";
}

TEST_F(PtyLine, PurgeDropsInputAndAStaleXoffWhileTransmitCharPassesTheXoff)
{
    // The NUL is no input: the count is what a read would hand out.
    pty.WriteMaster(std::string("old\0 input", 10));
    HoldOutput();
    EXPECT_TRUE(line->TransmitChar('\x12'));
    EXPECT_EQ(pty.ReadMaster(1, 1s), "\x12");
    LineErrorState state;
    ASSERT_TRUE(line->ClearErrors(state));
    ASSERT_EQ(state.inputQueued, 9U);

    ASSERT_TRUE(line->Purge(kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear));
    EXPECT_FALSE(line->OutputStopped());
    ASSERT_TRUE(line->ClearErrors(state));
    EXPECT_EQ(state.inputQueued, 0U);
    EXPECT_EQ(line->Write("go", 2).status, IoStatus::Ok);
    EXPECT_EQ(pty.ReadMaster(2, 1s), "go");
}

} // namespace
} // namespace maroka::serial
