// The receive commands of the main window, over the simulated machine on a
// real pseudo-terminal: F4 with its file choice, the "r" start-up argument,
// the received-file menu. Repair is decided by the receive loop and tested
// there.

#include "core/session/SessionMessages.h"

#include "core/session/SessionFixture.h"

#include <gtest/gtest.h>

using namespace maroka;
using namespace std::chrono_literals;

namespace {

constexpr const char* kVersion = " Maroka ver 0.565";

std::string Program(std::size_t blocks)
{
    std::string program = "%\r\nO2000(REPAIR)\r\n";
    for (std::size_t n = 0; n < blocks; ++n)
        program +=
            "N" + std::to_string(n) + "G01X" + std::to_string(n % 113) + ".25Y" + std::to_string(n % 71) + ".5\r\n";
    return program + "M30\r\n%\r\n";
}

// What the receive file holds for a program punched with DC2 and DC4: the
// head line, the program's lines without its own "%" lines, the empty line
// that the DC4 ends, and the tail line.
std::string Received(const std::string& program)
{
    return "%\r\n" + program.substr(3, program.size() - 6) + "\r\n%\r\n";
}

struct ReceiveSession : ::testing::Test, test::MachineRig {
    ReceiveSession()
    {
        StartMachine();
        initial.receiveStartDcEnabled = true;
        initial.receiveEndSeconds = "0";
    }

    void Punch(const std::string& program)
    {
        machine::PunchJob job;
        job.data = program;
        job.leaderNuls = 30;
        job.waitForStart = true;
        machine->Punch(job);
    }
};

} // namespace

TEST_F(ReceiveSession, SecondF4ReceivesIntoTheSameFileWithoutAsking)
{
    const std::string target = (dir / "OUT.NC").string();
    ui.saveFiles.push_back(target);
    auto& s = Start();
    Punch(Program(200));
    s.Receive();
    ASSERT_TRUE(WaitIdle(30s));
    EXPECT_TRUE(s.Idle());

    Punch(Program(20));
    s.Receive();
    ASSERT_TRUE(WaitIdle(30s));
    EXPECT_EQ(test::ReadFileBytes(target), Received(Program(20)));
    EXPECT_EQ(ui.EventsWith("save-dialog:").size(), 1u);
    EXPECT_TRUE(ui.Saw("save-dialog:" + std::string(session::msg::kReceiveTitle) + kVersion));
    // The same file is listed once under "受信データ(&R)".
    EXPECT_FALSE(ui.Saw("received-files:2"));
}

TEST_F(ReceiveSession, ReceiveAtStartAsksWithItsOwnTitleWhenNoFileIsNamed)
{
    ui.saveFiles.push_back((dir / "START.NC").string());
    Punch(Program(5));
    session::SessionOptions options;
    options.arguments = {"r"};
    Start(std::move(options));
    EXPECT_TRUE(ui.Saw("save-dialog:" + std::string(session::msg::kReceiveAtStartTitle) + kVersion));
    ASSERT_TRUE(WaitIdle(30s));
    EXPECT_EQ(test::ReadFileBytes(dir / "START.NC"), Received(Program(5)));
}
