#include "machine/lib/SimulatedMachine.h"
#include "core/text/ControlCodes.h"
#include "machine/PcSide.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <future>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace maroka::machine;
using maroka::test::PcSide;
using namespace std::chrono_literals;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::string NcText(std::size_t size)
{
    std::string text;
    for (std::size_t n = 0; text.size() < size; ++n)
        text +=
            "N" + std::to_string(n) + "G01X" + std::to_string((n * 37) % 1000) + ".5Y-" + std::to_string(n % 97) + "\n";
    text.resize(size);
    return text;
}

struct Started {
    explicit Started(MachineConfig config) : machine(config)
    {
        std::string error;
        ok = machine.Start(error);
        EXPECT_TRUE(ok) << error;
        pc = std::make_unique<PcSide>(machine.DevicePath());
        EXPECT_TRUE(pc->IsOpen());
    }
    SimulatedMachine machine;
    std::unique_ptr<PcSide> pc;
    bool ok = false;
};

} // namespace

TEST(SimulatedMachineTest, MemoryModeHoldsExactlyTheFramedProgram)
{
    Started s({});
    ASSERT_TRUE(s.ok);
    const std::string wire = "\0\0\0\x12%\nO1234\nG00X0\n%\n\x14"s;
    ASSERT_TRUE(s.pc->Write(wire));
    ASSERT_TRUE(s.machine.WaitPrograms(1, 5s));
    auto programs = s.machine.Programs();
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(programs[0].text, "%\nO1234\nG00X0\n%\n");
    EXPECT_EQ(programs[0].number, "O1234");
    EXPECT_TRUE(programs[0].Complete());
    ASSERT_TRUE(s.machine.WaitReceived(wire.size(), 5s));
    EXPECT_EQ(s.machine.ReceivedBytes(), wire);

    // A second program on the same line, without framing codes.
    ASSERT_TRUE(s.pc->Write("%\r\nO2\r\nM30\r\n%\r\n"));
    ASSERT_TRUE(s.machine.WaitPrograms(2, 5s));
    EXPECT_EQ(s.machine.Programs()[1].text, "%\r\nO2\r\nM30\r\n%\r\n");
    EXPECT_EQ(s.machine.Report().bytesSent, 0u); // memory mode answers nothing
}

TEST(SimulatedMachineTest, BytesWrittenAheadComeOffTheWireAtItsPace)
{
    MachineConfig config;
    config.lineCharsPerSecond = 1000;
    Started s(config);
    ASSERT_TRUE(s.ok);
    const std::string data = NcText(1000);
    const auto written = Clock::now();
    ASSERT_TRUE(s.pc->Write(data));
    // However late the machine's thread runs, it never holds more than the
    // wire has carried since the write.
    std::size_t seen = 0;
    while (seen < data.size() && Clock::now() - written < 5s) {
        std::this_thread::sleep_for(50ms);
        seen = s.machine.Report().bytesReceived;
        const double carried = std::chrono::duration<double>(Clock::now() - written).count() * 1000.0;
        ASSERT_LE(static_cast<double>(seen), carried + 1.0);
    }
    ASSERT_TRUE(s.machine.WaitReceived(data.size(), 5s));
    EXPECT_GE(Clock::now() - written, 990ms);
    EXPECT_EQ(s.machine.ReceivedBytes(), data);
}

TEST(SimulatedMachineTest, DncBytesAlreadyInTheCableArriveAfterXoff)
{
    MachineConfig config;
    config.mode = MachineMode::Dnc;
    config.lineCharsPerSecond = 960;
    config.execCharsPerSecond = 100;
    Started s(config);
    ASSERT_TRUE(s.ok);
    // 300 bytes at once, then silence, as a PC that stops at the XOFF but
    // had written ahead of the wire. The buffer holds 192 when byte 215 has
    // arrived (about 23 were executed by then); the 84 behind it are
    // already on their way.
    ASSERT_TRUE(s.pc->Write(NcText(300)));
    ASSERT_TRUE(s.machine.WaitReceived(300, 5s));
    EXPECT_EQ(s.pc->Read(500ms, 1), "\x13");
    MachineReport report = s.machine.Report();
    EXPECT_EQ(report.xoffSent, 1u);
    EXPECT_GE(report.maxAfterXoff, 82u);
    EXPECT_LE(report.maxAfterXoff, 86u);
    // About 31 bytes were executed by the last arrival: the rest did not fit.
    EXPECT_EQ(report.alarms, 1u);
    EXPECT_GE(report.lostBytes, 8u);
    EXPECT_LE(report.lostBytes, 16u);
    EXPECT_EQ(report.bytesReceived, report.bytesConsumed + report.bufferFill + report.lostBytes);
}

TEST(SimulatedMachineTest, DncPacedObeyingSenderLosesNothing)
{
    MachineConfig config;
    config.mode = MachineMode::Dnc;
    config.lineCharsPerSecond = 11520; // 115200 baud, 8N1
    config.execCharsPerSecond = 8000;
    config.bufferSize = 1024;
    config.highWater = 768;
    config.lowWater = 256;
    Started s(config);
    ASSERT_TRUE(s.ok);

    // A PC that keeps at most 2 ms of line time ahead of the wire and
    // stops on DC3 until DC1.
    const std::string data = NcText(24 * 1024);
    const std::size_t slice = 23;
    const auto sliceTime = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(slice / 11520.0));
    std::size_t xoffSeen = 0, xonSeen = 0;
    bool stopped = false;
    const auto begin = Clock::now();
    auto next = begin;
    std::size_t pos = 0;
    while (pos < data.size()) {
        pollfd pfd{s.pc->Fd(), POLLIN, 0};
        if (::poll(&pfd, 1, stopped ? 5000 : 0) > 0) {
            char flow[64];
            ssize_t n = ::read(s.pc->Fd(), flow, sizeof flow);
            for (ssize_t i = 0; i < n; ++i) {
                if (flow[i] == '\x13') {
                    stopped = true;
                    ++xoffSeen;
                } else if (flow[i] == '\x11') {
                    stopped = false;
                    ++xonSeen;
                    next = Clock::now();
                }
            }
        } else if (stopped) {
            FAIL() << "no XON within 5 s";
        }
        if (stopped)
            continue;
        std::size_t n = std::min(slice, data.size() - pos);
        ASSERT_TRUE(s.pc->Write(std::string_view(data).substr(pos, n)));
        pos += n;
        // No catching up after a delay: a line never sends faster than its rate.
        next = std::max(next + sliceTime, Clock::now());
        std::this_thread::sleep_until(next);
    }
    ASSERT_TRUE(s.machine.WaitConsumed(data.size(), 30s));
    const auto elapsed = Clock::now() - begin;
    for (const char c : s.pc->Read(300ms)) {
        xoffSeen += c == '\x13';
        xonSeen += c == '\x11';
    }
    MachineReport report = s.machine.Report();
    EXPECT_EQ(report.alarms, 0u);
    EXPECT_EQ(report.lostBytes, 0u);
    EXPECT_EQ(s.machine.ConsumedBytes(), data);
    EXPECT_GE(report.xoffSent, 3u);
    EXPECT_EQ(report.xoffSent, xoffSeen);
    EXPECT_EQ(report.xonSent, report.xoffSent);
    EXPECT_EQ(xonSeen, report.xonSent);
    // The control never executes ahead of its pace.
    const double limit = static_cast<double>(data.size()) / config.execCharsPerSecond;
    EXPECT_GE(std::chrono::duration<double>(elapsed).count(), limit);
    EXPECT_GE(report.feedSeconds, limit);
}

TEST(SimulatedMachineTest, DncSenderIgnoringXoffRaisesOverflowAlarm)
{
    MachineConfig config;
    config.mode = MachineMode::Dnc;
    config.lineCharsPerSecond = 20000;
    config.execCharsPerSecond = 1000;
    Started s(config);
    ASSERT_TRUE(s.ok);
    ASSERT_TRUE(s.pc->Write(NcText(4096)));
    ASSERT_TRUE(s.machine.WaitAlarm(5s));
    ASSERT_TRUE(s.machine.WaitReceived(4096, 5s));
    MachineReport report = s.machine.Report();
    EXPECT_EQ(report.alarms, 1u); // one burst, one alarm
    EXPECT_GT(report.lostBytes, 3000u);
    EXPECT_EQ(report.bytesReceived, report.bytesConsumed + report.bufferFill + report.lostBytes);
    EXPECT_EQ(report.maxBufferFill, config.bufferSize);
    EXPECT_EQ(s.pc->Read(500ms, 1), "\x13");
    EXPECT_TRUE(report.running);

    // The consumed text is the head of what was sent: the lost bytes are the tail.
    std::string consumed = s.machine.ConsumedBytes();
    EXPECT_EQ(consumed, NcText(4096).substr(0, consumed.size()));

    // Once the buffer has drained to low water, a new flood is a new alarm.
    ASSERT_TRUE(s.machine.WaitUntil([&](const MachineReport& r) { return r.bufferFill <= config.lowWater; }, 5s));
    EXPECT_EQ(s.pc->Read(500ms, 1), "\x11");
    ASSERT_TRUE(s.pc->Write(NcText(4096)));
    EXPECT_TRUE(s.machine.WaitUntil([](const MachineReport& r) { return r.alarms == 2; }, 5s));
}

TEST(SimulatedMachineTest, DncStopOnAlarmEndsTheRun)
{
    MachineConfig config;
    config.mode = MachineMode::Dnc;
    config.execCharsPerSecond = 100;
    config.stopOnAlarm = true;
    Started s(config);
    ASSERT_TRUE(s.ok);
    ASSERT_TRUE(s.pc->Write(NcText(1024)));
    ASSERT_TRUE(s.machine.WaitUntil([](const MachineReport& r) { return !r.running; }, 5s));
    MachineReport report = s.machine.Report();
    EXPECT_TRUE(report.stoppedByAlarm);
    EXPECT_EQ(report.alarms, 1u);
}

TEST(SimulatedMachineTest, DncHighBitXoffAndDc1Xon)
{
    MachineConfig config;
    config.mode = MachineMode::Dnc;
    config.lineCharsPerSecond = 20000;
    config.execCharsPerSecond = 2000;
    config.highWater = 100;
    config.lowWater = 20;
    config.xoffByte = maroka::text::kXoff93;
    Started s(config);
    ASSERT_TRUE(s.ok);
    ASSERT_TRUE(s.pc->Write(NcText(200)));
    std::string flow = s.pc->Read(3s, 2);
    EXPECT_EQ(flow, "\x93\x11");
    ASSERT_TRUE(s.machine.WaitConsumed(200, 5s));
    MachineReport report = s.machine.Report();
    EXPECT_EQ(report.alarms, 0u);
    EXPECT_EQ(report.xoffSent, 1u);
    EXPECT_EQ(report.xonSent, 1u);
    EXPECT_EQ(s.machine.SentBytes(), "\x93\x11");
}

TEST(SimulatedMachineTest, CycleStartSendsTheConfiguredByteOnRequest)
{
    MachineConfig config;
    config.cycleStartByte = 0x7E;
    Started s(config);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.pc->Read(100ms), "");
    s.machine.CycleStart();
    EXPECT_EQ(s.pc->Read(2s, 1), "~");
    s.machine.SendByte(maroka::text::kDc1);
    EXPECT_EQ(s.pc->Read(2s, 1), "\x11");
    EXPECT_TRUE(
        s.machine.WaitUntil([](const MachineReport& r) { return r.cycleStartsSent == 1 && r.bytesSent == 2; }, 2s));
}

TEST(SimulatedMachineTest, PunchKeepsTheLinePaceAndDamagesOnlyChosenBytes)
{
    MachineConfig config;
    config.lineCharsPerSecond = 9600.0 / 10.0;
    Started s(config);
    ASSERT_TRUE(s.ok);
    PunchJob job;
    job.data = NcText(2048);
    job.leaderNuls = 5;
    job.faults = {{0, ByteFault::Kind::Flip, 0},
                  {1000, ByteFault::Kind::Replace, '#'},
                  {1500, ByteFault::Kind::Drop, 0},
                  {2047, ByteFault::Kind::Flip, 0}};
    std::string expected = job.data;
    expected[0] = static_cast<char>(expected[0] ^ 1);
    expected[1000] = '#';
    expected[2047] = static_cast<char>(expected[2047] ^ 1);
    expected.erase(1500, 1);
    expected = std::string(5, '\0') + "\x12" + expected + "\x14";

    s.machine.Punch(job);
    std::string got;
    Clock::time_point first{}, last{};
    while (got.size() < expected.size()) {
        std::string piece = s.pc->Read(2s, 1);
        if (piece.empty())
            break;
        last = Clock::now();
        if (got.empty())
            first = last;
        got += piece;
    }
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_EQ(got, expected);
    double seconds = std::chrono::duration<double>(last - first).count();
    double nominal = static_cast<double>(expected.size() - 1) / 960.0;
    // Never faster than the line; a busy test host may make it a little slower.
    EXPECT_GE(seconds, 0.97 * nominal);
    EXPECT_LE(seconds, 1.25 * nominal);
    ASSERT_TRUE(s.machine.WaitPunchesDone(2s));
    EXPECT_EQ(s.machine.SentBytes(), expected);
}

TEST(SimulatedMachineTest, PunchWaitsForStartCodeAndObeysXonXoff)
{
    MachineConfig config;
    config.lineCharsPerSecond = 2000;
    Started s(config);
    ASSERT_TRUE(s.ok);
    PunchJob job;
    job.data = NcText(2000);
    job.waitForStart = true;
    s.machine.Punch(job);
    EXPECT_EQ(s.pc->Read(300ms), "");

    ASSERT_TRUE(s.pc->Write("\x12"));
    std::string got = s.pc->Read(3s, 200);
    ASSERT_GE(got.size(), 200u);
    ASSERT_TRUE(s.pc->Write("\x13"));
    ASSERT_TRUE(s.machine.WaitUntil([](const MachineReport& r) { return r.xoffReceived == 1; }, 5s));
    got += s.pc->Read(50ms); // what was on the way
    std::string held = s.pc->Read(400ms);
    EXPECT_EQ(held, "") << "punch went on after XOFF";
    ASSERT_LT(got.size(), 2002u);

    ASSERT_TRUE(s.pc->Write("\x11"));
    got += s.pc->Read(5s, 2002 - got.size());
    EXPECT_EQ(got, "\x12" + job.data + "\x14");
    ASSERT_TRUE(s.machine.WaitPunchesDone(2s));
    MachineReport report = s.machine.Report();
    EXPECT_EQ(report.xoffReceived, 1u);
    EXPECT_EQ(report.xonReceived, 1u);
    EXPECT_EQ(report.bytesReceived, 3u);
    EXPECT_EQ(report.programs, 0u); // flow control is not data
}

TEST(SimulatedMachineTest, CommandProgramThenReplyUntilSilence)
{
    Started s({});
    ASSERT_TRUE(s.ok);
    const std::string command = "%\r\nO0001(R/PROG.NC)\r\n%\r\n";
    auto reply =
        std::async(std::launch::async, [&] { return s.machine.RunCommand("O0001(R/PROG.NC)", 300ms, 10s, 50ms); });
    std::string got = s.pc->Read(5s, command.size() + 3);
    EXPECT_EQ(got, "\x12" + command + "\x14" + "\x11"); // the command, then cycle start
    auto sentReply = Clock::now();
    ASSERT_TRUE(s.pc->Write("\0\0%\nO0001\nG00X1\n"s)); // cut off: no tail "%"
    std::optional<ReceivedProgram> answer = reply.get();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->text, "%\nO0001\nG00X1\n");
    EXPECT_EQ(answer->end, ProgramEnd::Silence);
    EXPECT_GE(Clock::now() - sentReply, 250ms);
}

TEST(SimulatedMachineTest, ClosingTheMachineHangsUpThePcSide)
{
    Started s({});
    ASSERT_TRUE(s.ok);
    ASSERT_TRUE(s.pc->Write("%\nO1\n"));
    ASSERT_TRUE(s.machine.WaitReceived(5, 5s));
    s.machine.Close();
    pollfd pfd{s.pc->Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 2000), 1);
    EXPECT_TRUE(pfd.revents & POLLHUP);
    char byte;
    errno = 0;
    ssize_t n = ::read(s.pc->Fd(), &byte, 1);
    EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << n << " " << errno;
    // The cut-off tape is still reported.
    auto programs = s.machine.Programs();
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(programs[0].end, ProgramEnd::Stopped);
    EXPECT_FALSE(s.machine.Report().running);
}
