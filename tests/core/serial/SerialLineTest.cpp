#include "SerialTestSupport.h"
#include "core/serial/TermiosDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <chrono>
#include <thread>

namespace maroka::serial {
namespace {

using namespace std::chrono_literals;
using maroka::test::PtyPair;
using test::AllBytes;
using test::AscLine;
using test::FaultySystemCalls;
using test::OpenLine;

std::string ReadAll(serial::PosixSerialLine& line, std::size_t expected, std::chrono::milliseconds timeout = 5s)
{
    std::string got;
    char buffer[2048];
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < expected && std::chrono::steady_clock::now() < deadline) {
        if (line.WaitReadable(100) != serial::IoStatus::Ok)
            break;
        const serial::IoResult r = line.ReadAvailable(buffer, sizeof buffer);
        if (r.status != serial::IoStatus::Ok)
            break;
        got.append(buffer, r.count);
    }
    return got;
}

template <typename Call> std::chrono::milliseconds TimeOf(Call call)
{
    const auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

TEST(SerialLine, OpensExclusivelyUntilClosed)
{
    PtyPair pty;
    auto first = serial::PosixSerialLine::Open(pty.SlavePath());
    ASSERT_TRUE(first.line) << first.error;
    EXPECT_EQ(first.line->Name(), pty.SlavePath());

    // Also as root, where TIOCEXCL lets a second open through.
    auto second = serial::PosixSerialLine::Open(pty.SlavePath());
    EXPECT_FALSE(second.line);
    EXPECT_EQ(second.errorNumber, EBUSY);
    EXPECT_NE(second.error.find(pty.SlavePath()), std::string::npos);

    int exclusive = 0;
    ASSERT_EQ(ioctl(pty.HeldSlave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    EXPECT_TRUE(first.line->Close());
    EXPECT_TRUE(first.line->Close()) << "closing twice is harmless";
    // Others holding the tty open (here the pair) must not be left locked out.
    ASSERT_EQ(ioctl(pty.HeldSlave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    auto third = serial::PosixSerialLine::Open(pty.SlavePath());
    EXPECT_TRUE(third.line) << third.error;
}

TEST(SerialLine, OpenSaysWhyItFailed)
{
    maroka::test::TempDir dir;
    auto missing = serial::PosixSerialLine::Open((dir / "ttyNone").string());
    EXPECT_FALSE(missing.line);
    EXPECT_EQ(missing.errorNumber, ENOENT);

    maroka::test::WriteFileBytes(dir / "plain", "x");
    auto plain = serial::PosixSerialLine::Open((dir / "plain").string());
    EXPECT_FALSE(plain.line);
    EXPECT_EQ(plain.errorNumber, ENOTTY);
    EXPECT_NE(plain.error.find("not a serial device"), std::string::npos);
}

TEST(SerialLine, CloseGivesTheDeviceItsSettingsBack)
{
    PtyPair pty;
    serial::TermiosImage before;
    ASSERT_EQ(serial::ReadTermios(serial::SystemCalls::Real(), pty.HeldSlave(), before), 0);
    auto line = OpenLine(pty, AscLine());
    ASSERT_TRUE(line);
    serial::LineSettings s = AscLine();
    s.BaudRate = 14400;
    s.StopBits = serial::kTwoStopBits;
    ASSERT_TRUE(line->SetState(s));
    serial::TermiosImage during;
    ASSERT_EQ(serial::ReadTermios(serial::SystemCalls::Real(), pty.HeldSlave(), during), 0);
    EXPECT_NE(during, before);

    EXPECT_TRUE(line->Close());
    serial::TermiosImage after;
    ASSERT_EQ(serial::ReadTermios(serial::SystemCalls::Real(), pty.HeldSlave(), after), 0);
    EXPECT_EQ(after, before);

    // A closed line refuses politely.
    serial::LineSettings ignored;
    EXPECT_FALSE(line->GetState(ignored));
    EXPECT_EQ(line->Write("x", 1).status, serial::IoStatus::Failed);
    EXPECT_NE(line->LastError().find("not open"), std::string::npos);
}

TEST(SerialLine, EveryByteValueCrossesBothWaysUnchanged)
{
    PtyPair pty;
    serial::LineSettings s = AscLine();
    s.fOutX = false; // DC1/DC3 are data now
    s.fNull = false;
    auto line = OpenLine(pty, s);
    ASSERT_TRUE(line);

    const std::string out = AllBytes(8 * 256);
    const serial::IoResult written = line->Write(out.data(), out.size());
    EXPECT_EQ(written.status, serial::IoStatus::Ok);
    EXPECT_EQ(written.count, out.size());
    EXPECT_EQ(pty.ReadMaster(out.size(), 5s), out);

    const std::string in = AllBytes(3 * 256);
    pty.WriteMaster(in);
    EXPECT_EQ(ReadAll(*line, in.size()), in);
}

TEST(SerialLine, FlowControlAndNulBytesLeaveTheData)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine());
    ASSERT_TRUE(line);

    // A NUL goes, the bytes after it stay; XON and XOFF steer the output.
    pty.WriteMaster(std::string("A\0B\x11", 4) + "C\x13" + "D\x93" + "E");
    ASSERT_EQ(line->WaitReadable(1000), serial::IoStatus::Ok);
    std::this_thread::sleep_for(50ms);
    serial::LineErrorState state;
    ASSERT_TRUE(line->ClearErrors(state));
    EXPECT_EQ(state.errors, 0U) << "a pty has no error counters: no errors, no failure";
    EXPECT_EQ(state.inputQueued, 6U) << "the count is what a read will hand out";
    char buffer[64];
    serial::IoResult r = line->ReadAvailable(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, r.count), std::string("ABCD\x93") + "E");
    EXPECT_TRUE(line->OutputStopped());
    pty.WriteMaster("\x11");
    EXPECT_EQ(line->WaitReadable(100), serial::IoStatus::Ok);
    EXPECT_FALSE(line->OutputStopped());
    EXPECT_EQ(line->ReadAvailable(buffer, sizeof buffer).count, 0U);

    // XOFF 0x93: on an 8-bit line 0x13 is data; on a 7-bit line both are XOFF.
    ASSERT_TRUE(line->SetState(AscLine(serial::kXoff93)));
    pty.WriteMaster("\x13");
    ASSERT_EQ(line->WaitReadable(1000), serial::IoStatus::Ok);
    r = line->ReadAvailable(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, r.count), "\x13");
    EXPECT_FALSE(line->OutputStopped());
    serial::LineSettings iso = AscLine(serial::kXoff93);
    iso.ByteSize = 7;
    iso.Parity = kEvenParity;
    ASSERT_TRUE(line->SetState(iso));
    pty.WriteMaster("\x13");
    line->WaitReadable(200);
    EXPECT_TRUE(line->OutputStopped());
}

TEST(SerialLine, WaitEventEndsOnDataOrOnDc1)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine());
    ASSERT_TRUE(line);
    std::uint32_t events = 0;

    pty.WriteMaster("x");
    EXPECT_EQ(line->WaitEvent(kEvAllButTxEmpty, events), serial::IoStatus::Ok);
    EXPECT_EQ(events, static_cast<std::uint32_t>(kEvRxChar));
    ASSERT_TRUE(line->Purge(serial::kPurgeRxClear));

    // DC1 is flow control, yet it ends the wait for the machine.
    std::thread far([&] {
        std::this_thread::sleep_for(50ms);
        pty.WriteMaster("\x11");
    });
    EXPECT_EQ(line->WaitEvent(kEvAllButTxEmpty, events), serial::IoStatus::Ok);
    far.join();
    EXPECT_EQ(events, static_cast<std::uint32_t>(kEvRxFlag));
    serial::LineErrorState state;
    ASSERT_TRUE(line->ClearErrors(state));
    EXPECT_EQ(state.inputQueued, 0U);

    // Reported once; a DC1 does not end a wait for data; a pty has no modem
    // lines, which means "never", not a failure.
    pty.WriteMaster("\x11");
    std::thread stopper([&] {
        std::this_thread::sleep_for(150ms);
        line->Interrupt();
    });
    EXPECT_EQ(line->WaitEvent(kEvRxChar | kEvCts | kEvDsr | kEvRlsd | kEvBreak | kEvErr, events),
              serial::IoStatus::Interrupted);
    stopper.join();
    EXPECT_EQ(events, 0U);
    line->ClearInterrupt();

    // The DC1 that arrived meanwhile is still pending; a purge drops it.
    EXPECT_EQ(line->WaitEvent(kEvRxFlag, events), serial::IoStatus::Ok);
    EXPECT_EQ(events, static_cast<std::uint32_t>(kEvRxFlag));
    pty.WriteMaster("\x11");
    line->WaitReadable(100);
    ASSERT_TRUE(line->Purge(serial::kPurgeRxAbort | serial::kPurgeRxClear));
    std::thread stopper2([&] {
        std::this_thread::sleep_for(100ms);
        line->Interrupt();
    });
    EXPECT_EQ(line->WaitEvent(kEvRxFlag, events), serial::IoStatus::Interrupted);
    stopper2.join();
}

TEST(SerialLine, AnXonThatResumesStoppedOutputIsNoMachineSignal)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine());
    ASSERT_TRUE(line);
    std::uint32_t events = 0;
    // XOFF then XON: the machine took its buffer down, nothing more.
    pty.WriteMaster("\x13\x11");
    line->WaitReadable(100);
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        line->Interrupt();
    });
    EXPECT_EQ(line->WaitEvent(kEvAllButTxEmpty, events), serial::IoStatus::Interrupted);
    stopper.join();
    line->ClearInterrupt();
    // With output running, a DC1 is the machine's signal again.
    pty.WriteMaster("\x11");
    EXPECT_EQ(line->WaitEvent(kEvAllButTxEmpty, events), serial::IoStatus::Ok);
    EXPECT_EQ(events, static_cast<std::uint32_t>(kEvRxFlag));
}

TEST(SerialLine, InterruptWakesAtOnceAndHoldsUntilCleared)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine());
    ASSERT_TRUE(line);

    std::uint32_t events = 99;
    serial::IoStatus status = serial::IoStatus::Ok;
    std::chrono::steady_clock::time_point returned;
    std::thread waiter([&] {
        status = line->WaitEvent(kEvAllButTxEmpty, events);
        returned = std::chrono::steady_clock::now();
    });
    std::this_thread::sleep_for(100ms);
    const auto interruptedAt = std::chrono::steady_clock::now();
    line->Interrupt();
    waiter.join();
    EXPECT_EQ(status, serial::IoStatus::Interrupted);
    EXPECT_EQ(events, 0U);
    const auto latency = std::chrono::duration_cast<std::chrono::microseconds>(returned - interruptedAt);
    // "At once" with room for a loaded machine and the sanitizers; a wait
    // that missed the wake-up would never end.
    EXPECT_LT(latency, 500ms);

    // Sticky: every later call ends at once.
    pty.WriteMaster("data");
    char buffer[16];
    EXPECT_EQ(line->WaitEvent(kEvRxChar, events), serial::IoStatus::Interrupted);
    EXPECT_EQ(line->WaitReadable(5000), serial::IoStatus::Interrupted);
    EXPECT_EQ(line->ReadAvailable(buffer, sizeof buffer).status, serial::IoStatus::Interrupted);
    const serial::IoResult w = line->Write("abc", 3);
    EXPECT_EQ(w.status, serial::IoStatus::Interrupted);
    EXPECT_EQ(w.count, 0U);

    line->ClearInterrupt();
    EXPECT_EQ(ReadAll(*line, 4), "data");
    EXPECT_EQ(line->Write("abc", 3).status, serial::IoStatus::Ok);
    EXPECT_EQ(pty.ReadMaster(3, 1s), "abc");
}

TEST(SerialLine, HangUpFailsPendingCallsInsteadOfHanging)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine());
    ASSERT_TRUE(line);

    // A write held by XOFF and a wait elsewhere both see the far side go.
    pty.WriteMaster("\x13");
    ASSERT_EQ(line->WaitReadable(100), serial::IoStatus::Ok);
    ASSERT_TRUE(line->OutputStopped());
    serial::IoResult written;
    std::thread writer([&] { written = line->Write("held", 4); });
    std::this_thread::sleep_for(100ms);
    pty.CloseMaster();
    writer.join();
    EXPECT_EQ(written.status, serial::IoStatus::Failed);
    EXPECT_EQ(written.count, 0U);
    EXPECT_NE(line->LastError().find("gone"), std::string::npos) << line->LastError();

    std::uint32_t events = 0;
    serial::IoStatus waited = serial::IoStatus::Ok;
    const auto waitTime = TimeOf([&] { waited = line->WaitEvent(kEvAllButTxEmpty, events); });
    EXPECT_EQ(waited, serial::IoStatus::Failed);
    EXPECT_LT(waitTime, 1s);
    char buffer[8];
    EXPECT_EQ(line->ReadAvailable(buffer, sizeof buffer).status, serial::IoStatus::Failed);
    EXPECT_EQ(line->WaitReadable(1000), serial::IoStatus::Failed);
    serial::LineErrorState state;
    EXPECT_FALSE(line->ClearErrors(state));
    EXPECT_EQ(line->Write("x", 1).status, serial::IoStatus::Failed);
    EXPECT_TRUE(line->Close()) << "a vanished device can still be let go";
}

TEST(SerialLine, WaitOnHangUpWhileBlocked)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine());
    ASSERT_TRUE(line);
    std::uint32_t events = 0;
    serial::IoStatus status = serial::IoStatus::Ok;
    std::thread waiter([&] { status = line->WaitEvent(kEvAllButTxEmpty, events); });
    std::this_thread::sleep_for(100ms);
    pty.CloseMaster();
    waiter.join();
    EXPECT_EQ(status, serial::IoStatus::Failed);
}

TEST(SerialLine, FailuresOfTheSystemCallsReachTheCaller)
{
    PtyPair pty;
    FaultySystemCalls sys;
    serial::LineSettings s = AscLine();
    s.fOutX = false;
    auto line = OpenLine(pty, s, sys);
    ASSERT_TRUE(line);

    // Signals and one-byte writes change nothing in what arrives.
    sys.interruptEveryOther = true;
    sys.maxWrite = 1;
    const std::string out = AllBytes(1000);
    serial::IoResult r = line->Write(out.data(), out.size());
    EXPECT_EQ(r.status, serial::IoStatus::Ok);
    EXPECT_EQ(r.count, out.size());
    EXPECT_EQ(pty.ReadMaster(out.size(), 5s), out);
    pty.WriteMaster("in");
    EXPECT_EQ(ReadAll(*line, 2), "in");

    // The device fails after 100 bytes: the write says how far it got.
    sys.interruptEveryOther = false;
    sys.maxWrite = 0;
    sys.writeBudget = 100;
    r = line->Write(out.data(), out.size());
    EXPECT_EQ(r.status, serial::IoStatus::Failed);
    EXPECT_EQ(r.count, 100U);
    EXPECT_FALSE(line->LastError().empty());
    EXPECT_EQ(pty.ReadMaster(100, 2s), out.substr(0, 100));
}

TEST(SerialLine, PurgeDropsInputAndAStaleXoff)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine());
    ASSERT_TRUE(line);
    pty.WriteMaster("old input\x13");
    line->WaitReadable(500);
    std::this_thread::sleep_for(20ms);
    serial::LineErrorState state;
    ASSERT_TRUE(line->ClearErrors(state));
    ASSERT_EQ(state.inputQueued, 9U);
    ASSERT_TRUE(line->OutputStopped());

    ASSERT_TRUE(
        line->Purge(serial::kPurgeTxAbort | serial::kPurgeRxAbort | serial::kPurgeTxClear | serial::kPurgeRxClear));
    EXPECT_FALSE(line->OutputStopped());
    ASSERT_TRUE(line->ClearErrors(state));
    EXPECT_EQ(state.inputQueued, 0U);
    EXPECT_EQ(line->Write("go", 2).status, serial::IoStatus::Ok);
    EXPECT_EQ(pty.ReadMaster(2, 1s), "go");
}

TEST(SerialLine, TransmitCharGoesOutWhileXoffHoldsTheData)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine());
    ASSERT_TRUE(line);
    pty.WriteMaster("\x13");
    line->WaitReadable(100);
    ASSERT_TRUE(line->OutputStopped());
    EXPECT_TRUE(line->TransmitChar('\x12'));
    EXPECT_EQ(pty.ReadMaster(1, 1s), "\x12");
}

TEST(SerialLine, SetupCallsThatHaveNothingToDoOnATty)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine());
    ASSERT_TRUE(line);
    serial::QueueSizes sizes{1, 1};
    EXPECT_TRUE(line->GetProperties(sizes));
    EXPECT_EQ(sizes.maxTransmit, 0U);
    EXPECT_EQ(sizes.maxReceive, 0U);
    EXPECT_TRUE(line->ClearBreak());
    EXPECT_EQ(line->Drain(), serial::IoStatus::Ok);

    serial::LineSettings zero = AscLine();
    zero.BaudRate = 0;
    EXPECT_FALSE(line->SetState(zero)) << "B0 would hang the line up";
    serial::LineSettings back;
    ASSERT_TRUE(line->GetState(back));
    EXPECT_EQ(back.BaudRate, AscLine().BaudRate);
}

} // namespace
} // namespace maroka::serial
