#include "e2e/CliRun.h"

#include "core/settings/SettingsFile.h"
#include "machine/lib/SimulatedMachine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::test::TempDir;

namespace {

// A program of `blocks` lines the way CAM systems write them.
std::string MakeProgram(std::size_t blocks)
{
    std::string program = "%\nO1000(E2E)\n";
    for (std::size_t n = 0; n < blocks; ++n)
        program += "N" + std::to_string(n) + "G01X" + std::to_string(n % 997) + ".125Y-" + std::to_string(n % 311) +
                   ".5F1200\n";
    return program + "M30\n%\n";
}

// A press that comes before the program has begun its wait is not taken:
// press as an operator does until the data comes.
void PressCycleStartUntilData(machine::SimulatedMachine& machine, std::size_t receivedBefore)
{
    for (int press = 0; press < 50 && !machine.WaitReceived(receivedBefore + 1, 200ms); ++press)
        machine.CycleStart();
}

struct SendEndToEnd : ::testing::Test {
    std::string WriteSettings(const std::function<void(settings::SessionSettings&)>& change)
    {
        settings::SessionSettings s;
        s.sendDelayEnabled = false;
        s.ignoreCycleStart = true;
        s.sendBufferSize = "256";
        change(s);
        const std::string path = (dir / "maroka0.ini").string();
        EXPECT_FALSE(settings::SettingsFile(path).SaveSettings(s));
        return path;
    }

    std::unique_ptr<machine::SimulatedMachine> StartMachine(machine::MachineConfig config)
    {
        auto machine = std::make_unique<machine::SimulatedMachine>(config);
        std::string error;
        EXPECT_TRUE(machine->Start(error)) << error;
        return machine;
    }

    TempDir dir;
};

} // namespace

TEST_F(SendEndToEnd, NothingIsWrittenUntilTheMachinePressesCycleStart)
{
    machine::MachineConfig config;
    auto machine = StartMachine(config);
    test::WriteFileBytes(dir / "O1.NC", "%\nO0001\nM30\n%\n");
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) {
        s.ignoreCycleStart = false;
        s.sendDc2AtStart = true;
        s.sendDc4AtEnd = true;
    });
    test::BackgroundCli cli(
        {"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct", (dir / "O1.NC").string()});
    // DC2 goes out at once; the program waits for the operator.
    ASSERT_TRUE(cli.WaitForErr("サイクルスタート待ち", 10s));
    ASSERT_TRUE(machine->WaitReceived(1, 5s));
    EXPECT_EQ(machine->ReceivedBytes(), "\x12");
    PressCycleStartUntilData(*machine, 1);
    const auto result = cli.Finish(30s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(machine->WaitPrograms(1, 5s));
    EXPECT_EQ(machine->ReceivedBytes(), "\x12%\nO0001\nM30\n%\n\x14");
    EXPECT_NE(result.err.find("サイクルスタート待ち"), std::string::npos);
}

TEST_F(SendEndToEnd, InterruptDuringTheCycleStartWaitStopsAtOnce)
{
    auto machine = StartMachine({});
    test::WriteFileBytes(dir / "O1.NC", "%\nO0001\n%\n");
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) { s.ignoreCycleStart = false; });
    test::BackgroundCli cli(
        {"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct", (dir / "O1.NC").string()});
    ASSERT_TRUE(cli.WaitForErr("サイクルスタート待ち", 10s));
    const auto signalled = std::chrono::steady_clock::now();
    cli.Signal(SIGINT);
    const auto result = cli.Finish(30s);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 2s);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find(" 送信を中断しました。（リセット）"), std::string::npos) << result.err;
    EXPECT_EQ(machine->ReceivedBytes(), "");
}

TEST_F(SendEndToEnd, AVanishedDeviceEndsTheSendWithAMessageNotAHang)
{
    machine::MachineConfig config;
    config.mode = machine::MachineMode::Dnc;
    config.lineCharsPerSecond = 2000;
    auto machine = StartMachine(config);
    test::WriteFileBytes(dir / "BIG.NC", MakeProgram(20000));
    const auto settingsPath = WriteSettings([](settings::SessionSettings&) {});
    test::BackgroundCli cli(
        {"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct", (dir / "BIG.NC").string()});
    ASSERT_TRUE(machine->WaitConsumed(1000, 10s));
    machine->Close();
    const auto result = cli.Finish(20s);
    EXPECT_EQ(result.exitCode, 1);
    // Which message depends on where the loss is met: the line check before
    // a chunk, or a write that did or did not still move a byte. Each names
    // the failure and the box says so.
    const bool named = result.err.find("データ送信エラー（非同期ＩＯ）") != std::string::npos ||
                       result.err.find("データ書き込みエラー（非同期ＩＯ）") != std::string::npos ||
                       result.err.find("データ送信 I/O エラー （") != std::string::npos;
    EXPECT_TRUE(named) << result.err;
    EXPECT_NE(result.err.find(" BIG.NC 送信エラー"), std::string::npos);
    EXPECT_EQ(result.err.find("killed"), std::string::npos);
}

TEST_F(SendEndToEnd, ASecondProgramCannotOpenAPortInUse)
{
    auto machine = StartMachine({});
    test::WriteFileBytes(dir / "O1.NC", "%\nO0001\n%\n");
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) { s.ignoreCycleStart = false; });
    test::BackgroundCli first(
        {"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct", (dir / "O1.NC").string()});
    ASSERT_TRUE(first.WaitForErr("サイクルスタート待ち", 10s));
    const auto second = test::RunCli(
        {"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct", (dir / "O1.NC").string()},
        20s);
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("ポートを開けませんでした。"), std::string::npos) << second.err;
    first.Signal(SIGTERM);
    first.Finish(10s);
}

TEST_F(SendEndToEnd, ResendWaitsForANewCycleStartAndAStoppedSendWritesNoDc4)
{
    machine::MachineConfig config;
    config.mode = machine::MachineMode::Dnc;
    // A control of the usual buffer on a 38400 7E2 line that executes a
    // little slower than the line: XOFF and XON go back and forth during
    // the pass.
    config.lineCharsPerSecond = 38400 / 11.0;
    config.execCharsPerSecond = config.lineCharsPerSecond * 0.85;
    auto machine = StartMachine(config);
    const std::string program = MakeProgram(400);
    test::WriteFileBytes(dir / "O1000.NC", program);
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) {
        s.baudRate = "38400";
        s.ignoreCycleStart = false;
        s.resendMode = true;
        s.sendDc4AtEnd = true;
    });
    test::BackgroundCli cli(
        {"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct", (dir / "O1000.NC").string()});
    ASSERT_TRUE(cli.WaitForErr("サイクルスタート待ち", 10s));
    PressCycleStartUntilData(*machine, 0);
    ASSERT_TRUE(machine->WaitConsumed(program.size(), 20s));
    EXPECT_GT(machine->Report().xonSent, 0u);
    ASSERT_TRUE(cli.WaitForErr(" 再送信", 10s));
    // The XONs of the pass are not a cycle start: the next pass waits.
    EXPECT_FALSE(machine->WaitReceived(program.size() + 1, 1500ms));
    cli.Signal(SIGINT);
    const auto result = cli.Finish(20s);
    EXPECT_NE(result.err.find(" 送信を中断しました。（リセット）"), std::string::npos) << result.err;
    EXPECT_EQ(machine->ReceivedBytes(), program);
}

TEST_F(SendEndToEnd, ResetInTheMiddleOfASendWritesNoDc4)
{
    machine::MachineConfig config;
    config.mode = machine::MachineMode::Dnc;
    config.lineCharsPerSecond = 2000;
    auto machine = StartMachine(config);
    test::WriteFileBytes(dir / "BIG.NC", MakeProgram(20000));
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) { s.sendDc4AtEnd = true; });
    test::BackgroundCli cli(
        {"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct", (dir / "BIG.NC").string()});
    ASSERT_TRUE(machine->WaitConsumed(1000, 10s));
    cli.Signal(SIGINT);
    const auto result = cli.Finish(20s);
    EXPECT_NE(result.err.find(" データ送信を中断しました。（リセット）"), std::string::npos) << result.err;
    // A DC4 would have gone out just before the program ended; give the
    // machine time to read it.
    const auto until = std::chrono::steady_clock::now() + 1s;
    while (std::chrono::steady_clock::now() < until && machine->ReceivedBytes().find('\x14') == std::string::npos)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(machine->ReceivedBytes().find('\x14'), std::string::npos);
}

TEST_F(SendEndToEnd, ExitAfterSendingIsASuccessfulEnd)
{
    auto machine = StartMachine({});
    const std::string program = "%\nO0001\nM30\n%\n";
    test::WriteFileBytes(dir / "O1.NC", program);
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) {
        s.exitAfterSend = true;
        s.exitAfterSendSeconds = "0";
    });
    const auto result = test::RunCli(
        {"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct", (dir / "O1.NC").string()},
        30s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("Maroka を終了します。"), std::string::npos) << result.err;
    ASSERT_TRUE(machine->WaitReceived(program.size(), 5s));
    EXPECT_EQ(machine->ReceivedBytes(), program);
}
