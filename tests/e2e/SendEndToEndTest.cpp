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
        program += "N" + std::to_string(n) + "G01X" + std::to_string(n % 997) + ".125Y-" +
                   std::to_string(n % 311) + ".5F1200\n";
    return program + "M30\n%\n";
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
    test::BackgroundCli cli({"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct",
                             (dir / "O1.NC").string()});
    std::this_thread::sleep_for(700ms);
    // DC2 goes out at once; the program waits for the operator.
    EXPECT_EQ(machine->ReceivedBytes(), "\x12");
    machine->CycleStart();
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
    test::BackgroundCli cli({"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct",
                             (dir / "O1.NC").string()});
    std::this_thread::sleep_for(700ms);
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
    test::BackgroundCli cli({"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct",
                             (dir / "BIG.NC").string()});
    ASSERT_TRUE(machine->WaitConsumed(1000, 10s));
    machine->Close();
    const auto result = cli.Finish(20s);
    EXPECT_EQ(result.exitCode, 1);
    // Which of the two write messages depends on whether the last write
    // still moved a byte; either names the failure and the box says so.
    const bool named = result.err.find("データ送信エラー（非同期ＩＯ）") != std::string::npos ||
                       result.err.find("データ書き込みエラー（非同期ＩＯ）") != std::string::npos;
    EXPECT_TRUE(named) << result.err;
    EXPECT_NE(result.err.find(" BIG.NC 送信エラー"), std::string::npos);
    EXPECT_EQ(result.err.find("killed"), std::string::npos);
}

TEST_F(SendEndToEnd, ASecondProgramCannotOpenAPortInUse)
{
    auto machine = StartMachine({});
    test::WriteFileBytes(dir / "O1.NC", "%\nO0001\n%\n");
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) { s.ignoreCycleStart = false; });
    test::BackgroundCli first({"--settings", settingsPath, "--port", machine->DevicePath(), "send", "--direct",
                               (dir / "O1.NC").string()});
    std::this_thread::sleep_for(500ms);
    const auto second = test::RunCli({"--settings", settingsPath, "--port", machine->DevicePath(), "send",
                                      "--direct", (dir / "O1.NC").string()},
                                     20s);
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("ポートを開けませんでした。"), std::string::npos) << second.err;
    first.Signal(SIGTERM);
    first.Finish(10s);
}
