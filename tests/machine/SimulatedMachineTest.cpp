#include "machine/lib/SimulatedMachine.h"
#include "core/text/ControlCodes.h"
#include "machine/PcSide.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <future>
#include <poll.h>
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

struct SimulatedMachineTest : ::testing::Test {
    void Start(const MachineConfig& config)
    {
        machine = std::make_unique<SimulatedMachine>(config);
        std::string error;
        ASSERT_TRUE(machine->Start(error)) << error;
        pc = std::make_unique<PcSide>(machine->DevicePath());
        ASSERT_TRUE(pc->IsOpen());
    }

    std::unique_ptr<SimulatedMachine> machine;
    std::unique_ptr<PcSide> pc;
};

} // namespace

TEST_F(SimulatedMachineTest, DncBytesAlreadyInTheCableArriveAfterXoffAndOverflowTheBuffer)
{
    MachineConfig config;
    config.mode = MachineMode::Dnc;
    config.lineCharsPerSecond = 960;
    config.execCharsPerSecond = 100;
    ASSERT_NO_FATAL_FAILURE(Start(config));
    // 300 bytes at once, then silence, as a PC that stops at the XOFF but
    // had written ahead of the wire. The buffer holds 192 when byte 215 has
    // arrived (about 23 were executed by then); the 84 behind it are
    // already on their way. These counts hold only while the bytes come off
    // the wire at its pace.
    ASSERT_TRUE(pc->Write(NcText(300)));
    ASSERT_TRUE(machine->WaitReceived(300, 5s));
    EXPECT_EQ(pc->Read(500ms, 1), "\x13");
    MachineReport report = machine->Report();
    EXPECT_EQ(report.xoffSent, 1u);
    EXPECT_GE(report.maxAfterXoff, 82u);
    EXPECT_LE(report.maxAfterXoff, 86u);
    // About 31 bytes were executed by the last arrival: the rest did not fit.
    EXPECT_EQ(report.alarms, 1u);
    EXPECT_GE(report.lostBytes, 8u);
    EXPECT_LE(report.lostBytes, 16u);
    EXPECT_EQ(report.bytesReceived, report.bytesConsumed + report.bufferFill + report.lostBytes);
    EXPECT_EQ(report.maxBufferFill, config.bufferSize);
    EXPECT_TRUE(report.running);
    // What the control executes is the head of what was sent, in order.
    const std::string consumed = machine->ConsumedBytes();
    EXPECT_EQ(consumed, NcText(300).substr(0, consumed.size()));
    // The XON goes out once the buffer has drained to low water.
    ASSERT_TRUE(machine->WaitUntil([&](const MachineReport& r) { return r.bufferFill <= config.lowWater; }, 5s));
    EXPECT_EQ(pc->Read(500ms, 1), "\x11");
}

TEST_F(SimulatedMachineTest, CycleStartSendsTheConfiguredByteOnRequest)
{
    MachineConfig config;
    config.cycleStartByte = 0x7E;
    ASSERT_NO_FATAL_FAILURE(Start(config));
    EXPECT_EQ(pc->Read(100ms), "");
    machine->CycleStart();
    EXPECT_EQ(pc->Read(2s, 1), "~");
    machine->SendByte(maroka::text::kDc1);
    EXPECT_EQ(pc->Read(2s, 1), "\x11");
    EXPECT_TRUE(
        machine->WaitUntil([](const MachineReport& r) { return r.cycleStartsSent == 1 && r.bytesSent == 2; }, 2s));
}

// What a punch sends (leader, DC2, damage, DC4) is the option tests' stream;
// here, that it keeps the line's pace and arrives whole.
TEST_F(SimulatedMachineTest, PunchKeepsTheLinePace)
{
    MachineConfig config;
    config.lineCharsPerSecond = 9600.0 / 10.0;
    ASSERT_NO_FATAL_FAILURE(Start(config));
    PunchJob job;
    job.data = NcText(2048);
    job.leaderNuls = 5;
    const std::string expected = std::string(5, '\0') + "\x12" + job.data + "\x14";

    machine->Punch(job);
    std::string got;
    Clock::time_point first{}, last{};
    while (got.size() < expected.size()) {
        std::string piece = pc->Read(2s, 1);
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
    ASSERT_TRUE(machine->WaitPunchesDone(2s));
    EXPECT_EQ(machine->SentBytes(), expected);
}

TEST_F(SimulatedMachineTest, PunchWaitsForStartCodeAndObeysXonXoff)
{
    MachineConfig config;
    config.lineCharsPerSecond = 2000;
    ASSERT_NO_FATAL_FAILURE(Start(config));
    PunchJob job;
    job.data = NcText(2000);
    job.waitForStart = true;
    machine->Punch(job);
    EXPECT_EQ(pc->Read(300ms), "");

    ASSERT_TRUE(pc->Write("\x12"));
    std::string got = pc->Read(3s, 200);
    ASSERT_GE(got.size(), 200u);
    ASSERT_TRUE(pc->Write("\x13"));
    ASSERT_TRUE(machine->WaitUntil([](const MachineReport& r) { return r.xoffReceived == 1; }, 5s));
    got += pc->Read(50ms); // what was on the way
    std::string held = pc->Read(400ms);
    EXPECT_EQ(held, "") << "punch went on after XOFF";
    ASSERT_LT(got.size(), 2002u);

    ASSERT_TRUE(pc->Write("\x11"));
    got += pc->Read(5s, 2002 - got.size());
    EXPECT_EQ(got, "\x12" + job.data + "\x14");
    ASSERT_TRUE(machine->WaitPunchesDone(2s));
    MachineReport report = machine->Report();
    EXPECT_EQ(report.xoffReceived, 1u);
    EXPECT_EQ(report.xonReceived, 1u);
    EXPECT_EQ(report.bytesReceived, 3u);
    EXPECT_EQ(report.programs, 0u); // flow control is not data
}

TEST_F(SimulatedMachineTest, CommandProgramThenReplyUntilSilence)
{
    ASSERT_NO_FATAL_FAILURE(Start({}));
    const std::string command = "%\r\nO0001(R/PROG.NC)\r\n%\r\n";
    auto reply =
        std::async(std::launch::async, [&] { return machine->RunCommand("O0001(R/PROG.NC)", 300ms, 10s, 50ms); });
    std::string got = pc->Read(5s, command.size() + 3);
    EXPECT_EQ(got, "\x12" + command + "\x14" + "\x11"); // the command, then cycle start
    auto sentReply = Clock::now();
    ASSERT_TRUE(pc->Write("\0\0%\nO0001\nG00X1\n"s)); // cut off: no tail "%"
    std::optional<ReceivedProgram> answer = reply.get();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->text, "%\nO0001\nG00X1\n");
    EXPECT_EQ(answer->end, ProgramEnd::Silence);
    EXPECT_GE(Clock::now() - sentReply, 250ms);
}

TEST_F(SimulatedMachineTest, ClosingTheMachineHangsUpThePcSide)
{
    ASSERT_NO_FATAL_FAILURE(Start({}));
    ASSERT_TRUE(pc->Write("%\nO1\n"));
    ASSERT_TRUE(machine->WaitReceived(5, 5s));
    machine->Close();
    pollfd pfd{pc->Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 2000), 1);
    EXPECT_TRUE(pfd.revents & POLLHUP);
    char byte;
    errno = 0;
    ssize_t n = ::read(pc->Fd(), &byte, 1);
    EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << n << " " << errno;
    // The cut-off tape is still reported.
    auto programs = machine->Programs();
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(programs[0].end, ProgramEnd::Stopped);
    EXPECT_FALSE(machine->Report().running);
    EXPECT_EQ(machine->Report().bytesSent, 0u); // memory mode answers nothing
}
