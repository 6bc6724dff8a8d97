// The receive commands of the main window, over the simulated machine on a
// real pseudo-terminal: F4 with its file choice, the "r" start-up argument,
// the received-file menu, and a repair of two receptions the machine damaged.

#include "core/serial/PosixSerialLine.h"
#include "core/session/SessionMessages.h"
#include "core/transfer/ReceiveMessages.h"

#include "core/session/SessionFixture.h"
#include "core/transfer/ReceiveTestSupport.h"

#include <gtest/gtest.h>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::transfer::test::LineErrorInjector;

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

    // The line reports framing errors where the test says.
    session::Session& Start(std::vector<std::string> arguments = {})
    {
        session::SessionOptions options;
        options.arguments = std::move(arguments);
        options.openLine = [this](const std::string& port, std::string& error) -> std::unique_ptr<serial::SerialLine> {
            auto opened = serial::PosixSerialLine::Open(port);
            error = opened.error;
            if (!opened.line)
                return nullptr;
            auto line = std::make_unique<LineErrorInjector>(std::move(opened.line), std::set<std::size_t>{});
            injector = line.get();
            return line;
        };
        return MachineRig::Start(std::move(options));
    }

    void Punch(const std::string& program, std::vector<machine::ByteFault> faults = {}, bool waitForStart = true)
    {
        machine::PunchJob job;
        job.data = program;
        job.leaderNuls = 30;
        job.waitForStart = waitForStart;
        job.faults = std::move(faults);
        machine->Punch(job);
    }

    LineErrorInjector* injector = nullptr;
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
    EXPECT_EQ(test::ReadFileBytes(target), Received(Program(200)));
    EXPECT_TRUE(s.LastTransferCompleted());
    EXPECT_TRUE(s.Idle());

    Punch(Program(20));
    s.Receive();
    ASSERT_TRUE(WaitIdle(30s));
    EXPECT_EQ(test::ReadFileBytes(target), Received(Program(20)));
    const auto events = ui.Events();
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const auto& e) { return e.starts_with("save-dialog:"); }),
              1);
    EXPECT_TRUE(ui.Saw("save-dialog:" + std::string(session::msg::kReceiveTitle) + kVersion));
    // The same file is listed once under "受信データ(&R)".
    EXPECT_TRUE(ui.Saw("received-files:1"));
    EXPECT_FALSE(ui.Saw("received-files:2"));
}

TEST_F(ReceiveSession, ReceiveAtStartAsksWithItsOwnTitleWhenNoFileIsNamed)
{
    ui.saveFiles.push_back((dir / "START.NC").string());
    Punch(Program(5));
    Start({"r"});
    EXPECT_TRUE(ui.Saw("save-dialog:" + std::string(session::msg::kReceiveAtStartTitle) + kVersion));
    ASSERT_TRUE(WaitIdle(30s));
    EXPECT_EQ(test::ReadFileBytes(dir / "START.NC"), Received(Program(5)));
}

TEST_F(ReceiveSession, TwoPassesDamagedAtDifferentPlacesAreRepaired)
{
    const std::string target = (dir / "REPAIR.NC").string();
    ui.saveFiles.push_back(target);
    ui.answers.push_back(MessageAnswer::Retry);
    auto& s = Start();
    ASSERT_NE(injector, nullptr);
    const std::string program = Program(2000);
    // Bit flips inside two different blocks; a UART reports each as a
    // framing error, here the line does (the DC2 goes ahead of the data).
    const std::size_t firstFault = program.find("N300G01X") + 5;
    const std::size_t secondFault = program.find("N1500G01X") + 6;
    injector->ExpectErrorsAt({firstFault + 1});
    Punch(program, {{firstFault, machine::ByteFault::Kind::Flip, 0}});
    s.Receive();
    ASSERT_TRUE(ui.PumpUntil([&] { return ui.Saw("status:" + std::string(transfer::msg::kStatusReReceive)); }, 30s));
    injector->ExpectErrorsAt({secondFault + 1});
    Punch(program, {{secondFault, machine::ByteFault::Kind::Flip, 0}}, false);
    ASSERT_TRUE(WaitIdle(30s));

    // The merged file is the intact reception: CR LF ends, the program's
    // lines between the head and tail lines.
    EXPECT_EQ(test::ReadFileBytes(target), Received(program));
    EXPECT_TRUE(s.LastTransferCompleted());
    const auto messages = ui.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1].starts_with(transfer::msg::kRepairSuccess)) << messages[1];
}
