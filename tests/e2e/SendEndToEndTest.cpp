// maroka-cli send against the simulated machine over a pseudo-terminal pair.

#include "e2e/CliRun.h"

#include <csignal>

using namespace maroka;
using namespace std::chrono_literals;
using test::BackgroundCli;

namespace {

struct SendEndToEnd : test::EndToEnd {
    void Settings(const std::function<void(settings::SessionSettings&)>& change)
    {
        WriteSettings([&](settings::SessionSettings& s) {
            s.sendBufferSize = "256";
            change(s);
        });
    }
};

TEST_F(SendEndToEnd, TheProgramGoesOutBetweenDc2AndDc4AndExitAfterSendingIsASuccessfulEnd)
{
    StartMachine({});
    Settings([](settings::SessionSettings& s) {
        s.sendDc2AtStart = true;
        s.sendDc4AtEnd = true;
        s.exitAfterSend = true;
        s.exitAfterSendSeconds = "0";
    });
    const auto result = test::RunCli(Command({"send", "--direct", File("O1.NC", "%\nO0001\nM30\n%\n")}), 30s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("Maroka を終了します。"), std::string::npos) << result.err;
    ASSERT_TRUE(machine->WaitPrograms(1, 5s));
    EXPECT_EQ(machine->ReceivedBytes(), "\x12%\nO0001\nM30\n%\n\x14");
}

TEST_F(SendEndToEnd, ResendWaitsForANewCycleStartWithThePortTakenAndInterruptStopsAtOnceWithoutDc4)
{
    machine::MachineConfig config;
    config.mode = machine::MachineMode::Dnc;
    // A control of the usual buffer on a 38400 7E2 line that executes a
    // little slower than the line: XOFF and XON go back and forth during
    // the pass.
    config.lineCharsPerSecond = 38400 / 11.0;
    config.execCharsPerSecond = config.lineCharsPerSecond * 0.85;
    StartMachine(config);
    const std::string program = test::NcProgram(12'000);
    Settings([](settings::SessionSettings& s) {
        s.baudRate = "38400";
        s.ignoreCycleStart = false;
        s.resendMode = true;
        s.sendDc4AtEnd = true;
    });
    const auto send = Command({"send", "--direct", File("O1000.NC", program)});
    BackgroundCli cli(send);
    ASSERT_TRUE(cli.WaitForErr("サイクルスタート待ち", 10s));
    // A press that comes before the program has begun its wait is not
    // taken: press as an operator does until the data comes.
    for (int press = 0; press < 50 && !machine->WaitReceived(1, 200ms); ++press)
        machine->CycleStart();
    ASSERT_TRUE(machine->WaitConsumed(program.size(), 20s));
    EXPECT_GT(machine->Report().xonSent, 0u);
    ASSERT_TRUE(cli.WaitForErr(" 再送信", 10s));
    // The XONs of the pass are not a cycle start: the next pass waits.
    EXPECT_FALSE(machine->WaitReceived(program.size() + 1, 1500ms));
    // Waiting, the program holds the port.
    const auto second = test::RunCli(send, 20s);
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("ポートを開けませんでした。"), std::string::npos) << second.err;

    const auto signalled = std::chrono::steady_clock::now();
    cli.Signal(SIGINT);
    const auto result = cli.Finish(20s);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 2s);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find(" 送信を中断しました。（リセット）"), std::string::npos) << result.err;
    EXPECT_EQ(machine->ReceivedBytes(), program);
}

} // namespace
