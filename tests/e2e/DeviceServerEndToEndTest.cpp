// maroka-cli reaching the simulated machine through the ser2net device
// server over RFC 2217, as a machine on the shop network is reached: a
// memory send, a DNC feed at the control's own line speed and buffer, a
// reception and a server session.

#include "e2e/CliRun.h"

#include "core/logs/WorkFilePath.h"
#include "core/settings/SettingsFile.h"
#include "machine/lib/SimulatedMachine.h"
#include "support/Ser2netServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::test::ReadFileBytes;
using maroka::test::Ser2netServer;
using maroka::test::TempDir;
using maroka::test::WriteFileBytes;

namespace fs = std::filesystem;

namespace {

std::string MakeProgram(std::size_t blocks)
{
    std::string program = "%\nO1000(NET)\n";
    for (std::size_t n = 0; n < blocks; ++n)
        program += "N" + std::to_string(n) + "G01X" + std::to_string(n % 997) + ".125Y-" + std::to_string(n % 311) +
                   ".5F1200\n";
    return program + "M30\n%\n";
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

struct DeviceServerEndToEnd : ::testing::Test {
    // The machine, then ser2net in front of its pseudo-terminal.
    void Start(machine::MachineConfig config)
    {
        machine = std::make_unique<machine::SimulatedMachine>(config);
        std::string error;
        ASSERT_TRUE(machine->Start(error)) << error;
        server = std::make_unique<Ser2netServer>(dir.Path(), machine->DevicePath());
        ASSERT_TRUE(server->Start(error)) << error;
    }

    std::string WriteSettings(const std::function<void(settings::SessionSettings&)>& change)
    {
        settings::SessionSettings s;
        s.sendDelayEnabled = false;
        s.ignoreCycleStart = true;
        s.sendDc2AtStart = false;
        s.sendDc4AtEnd = false;
        s.receiveEndSeconds = "1";
        change(s);
        const std::string path = (dir / "maroka0.ini").string();
        EXPECT_FALSE(settings::SettingsFile(path).SaveSettings(s));
        return path;
    }

    TempDir dir;
    std::unique_ptr<machine::SimulatedMachine> machine;
    std::unique_ptr<Ser2netServer> server;
};

} // namespace

TEST_F(DeviceServerEndToEnd, AMemorySendArrivesByteExact)
{
    machine::MachineConfig config;
    config.lineCharsPerSecond = 19200.0 / 10;
    Start(config);
    const std::string program = MakeProgram(150);
    WriteFileBytes(dir / "O1000.NC", program);
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) {
        s.baudRate = "19200";
        s.sendMode = "MEM";
    });
    const auto result = test::RunCli(
        {"--settings", settingsPath, "--port", server->PortName(), "send", "--direct", (dir / "O1000.NC").string()},
        60s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(machine->WaitReceived(program.size(), 10s));
    EXPECT_EQ(machine->ReceivedBytes(), program);
}

// 4800 baud 7E2 is 436 characters a second on the wire; the control executes
// at 85 % of that from a buffer of 256 bytes with XOFF at 192 and XON at 64,
// so it holds the feed up again and again. Every byte must be executed, none
// lost, no alarm, and the feed must resume before the buffer runs dry.
TEST_F(DeviceServerEndToEnd, ADncFeedAtTheControlsPaceLosesNoByte)
{
    machine::MachineConfig config;
    config.mode = machine::MachineMode::Dnc;
    config.lineCharsPerSecond = 4800.0 / 11;
    config.execCharsPerSecond = config.lineCharsPerSecond * 0.85;
    config.bufferSize = 256;
    config.highWater = 192;
    config.lowWater = 64;
    Start(config);
    const std::string program = MakeProgram(120); // about 8 s of machining
    WriteFileBytes(dir / "DNC.NC", program);
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) {
        s.baudRate = "4800";
        s.stopBits = "2";
        s.code = "ISO";
        s.sendMode = "DNC";
        s.sendBufferSize = "256";
    });
    const auto result = test::RunCli(
        {"--settings", settingsPath, "--port", server->PortName(), "send", "--direct", (dir / "DNC.NC").string()}, 90s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(machine->WaitConsumed(program.size(), 20s));
    const auto report = machine->Report();
    EXPECT_EQ(report.lostBytes, 0u);
    EXPECT_EQ(report.alarms, 0u);
    EXPECT_LE(report.maxBufferFill, config.bufferSize);
    EXPECT_EQ(machine->ConsumedBytes(), program);
    EXPECT_GT(report.xoffSent, 0u);
    EXPECT_LT(report.starvedSeconds, 0.02 * report.feedSeconds);
    std::printf("DNC through ser2net: %zu bytes, feed %.1f s, starved %.2f s, XOFF %zu, buffer peak %zu, "
                "most after an XOFF %zu\n",
                program.size(), report.feedSeconds, report.starvedSeconds, report.xoffSent, report.maxBufferFill,
                report.maxAfterXoff);
}

TEST_F(DeviceServerEndToEnd, AProgramPunchedByTheMachineIsReceived)
{
    machine::MachineConfig config;
    config.lineCharsPerSecond = 9600.0 / 10;
    Start(config);
    const std::string program = "%\r\nO3000(PUNCHED)\r\nG01X1.F100\r\nM30\r\n%\r\n";
    machine::PunchJob job;
    job.data = program;
    job.leaderNuls = 20;
    job.waitForStart = true;
    machine->Punch(job);
    const std::string target = (dir / "O3000.NC").string();
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) { s.receiveStartDcEnabled = true; });
    const auto result =
        test::RunCli({"--settings", settingsPath, "--port", server->PortName(), "receive", target}, 60s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // The head and tail lines the reception writes around the program.
    EXPECT_EQ(ReadFileBytes(target), "%\r\n" + program.substr(3, program.size() - 6) + "\r\n%\r\n");
}

TEST_F(DeviceServerEndToEnd, ServerModeCallsSavesAndListsThroughTheDeviceServer)
{
    machine::MachineConfig config;
    config.lineCharsPerSecond = 19200.0 / 10;
    Start(config);
    const fs::path folder = dir / "programs";
    fs::create_directories(folder);
    const std::string called = "%\r\nO1000(CALLED)\r\nG00X0Y0\r\nM30\r\n%\r\n";
    WriteFileBytes(folder / "O1000.NC", called);
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) { s.baudRate = "19200"; });

    const fs::path workFolder = fs::path(MAROKA_CLI_PATH).parent_path() / "Maroka_Work";
    const fs::path commandFile = logs::WorkFilePath(workFolder.string(), "COMNDFILE", server->PortName());
    fs::remove(commandFile);
    test::BackgroundCli cli(
        {"--settings", settingsPath, "--port", server->PortName(), "server", "--folder", folder.string()});
    ASSERT_TRUE(WaitFor([&] { return fs::exists(commandFile); }, 15s));

    auto ask = [&](const std::string& command) {
        const std::size_t before = machine->ReceivedBytes().size();
        const auto reply = machine->RunCommand(command, 300ms, 15s);
        EXPECT_TRUE(reply) << command;
        return machine->ReceivedBytes().substr(before);
    };
    EXPECT_EQ(ask("R/O1000.NC"), called);

    machine->SendCommand("S/NEW.NC", 300ms);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(folder / "NEW.NC"); }, 15s));
    machine::PunchJob job;
    job.data = "%\r\nO2000(SAVED)\r\nG01X5.F100\r\nM30\r\n%\r\n";
    machine->Punch(job);
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::string saved = ReadFileBytes(folder / "NEW.NC");
            return saved.find("M30\r\n") != std::string::npos && saved.ends_with("%\r\n");
        },
        15s));
    EXPECT_NE(ReadFileBytes(folder / "NEW.NC").find("O2000(SAVED)\r\nG01X5.F100\r\n"), std::string::npos);
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(ask("L/"),
              "%\r\n([SEARCH_FILE_LIST])\r\n(NEW.NC)\r\n(O1000.NC)\r\n([SEARCH_FILE_LIST_END])\r\nM30\r\n%\r\n");

    cli.Signal(SIGTERM);
    const auto result = cli.Finish(30s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
}

// The device server goes away in the middle of a send: the send ends with
// the vanished-device text within a few seconds, no hang.
TEST_F(DeviceServerEndToEnd, KillingTheServerMidSendEndsTheSendWithTheVanishedDeviceText)
{
    machine::MachineConfig config;
    config.mode = machine::MachineMode::Dnc;
    config.lineCharsPerSecond = 9600.0 / 10;
    Start(config);
    WriteFileBytes(dir / "BIG.NC", MakeProgram(2000));
    const auto settingsPath = WriteSettings([](settings::SessionSettings& s) { s.sendMode = "DNC"; });
    test::BackgroundCli cli(
        {"--settings", settingsPath, "--port", server->PortName(), "send", "--direct", (dir / "BIG.NC").string()});
    ASSERT_TRUE(machine->WaitReceived(1000, 15s));
    const auto killed = std::chrono::steady_clock::now();
    server->Kill();
    const auto result = cli.Finish(20s);
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 5s);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("the device is gone"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(" BIG.NC 送信エラー"), std::string::npos) << result.err;
}
