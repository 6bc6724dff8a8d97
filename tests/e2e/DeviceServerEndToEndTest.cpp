// maroka-cli reaching the simulated machine through the ser2net device
// server over RFC 2217, as a machine on the shop network is reached: a DNC
// feed at the control's own line speed and buffer, and the device server
// vanishing mid-send.

#include "e2e/CliRun.h"

#include "support/Ser2netServer.h"

using namespace maroka;
using namespace std::chrono_literals;

namespace {

struct DeviceServerEndToEnd : test::EndToEnd {
    // The machine, then ser2net in front of its pseudo-terminal.
    void Start(const machine::MachineConfig& config)
    {
        StartMachine(config);
        server = std::make_unique<test::Ser2netServer>(dir.Path(), machine->DevicePath());
        std::string error;
        ASSERT_TRUE(server->Start(error)) << error;
        port = server->PortName();
    }

    std::unique_ptr<test::Ser2netServer> server;
};

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
    ASSERT_NO_FATAL_FAILURE(Start(config));
    const std::string program = test::NcProgram(3'600); // about 8 s of machining
    WriteSettings([](settings::SessionSettings& s) {
        s.baudRate = "4800";
        s.stopBits = "2";
        s.code = "ISO";
        s.sendMode = "DNC";
        s.sendBufferSize = "256";
    });
    const auto result = test::RunCli(Command({"send", "--direct", File("DNC.NC", program)}), 90s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(machine->WaitConsumed(program.size(), 20s));
    const auto report = machine->Report();
    EXPECT_EQ(report.lostBytes, 0u);
    EXPECT_EQ(report.alarms, 0u);
    EXPECT_EQ(machine->ConsumedBytes(), program);
    EXPECT_GT(report.xoffSent, 0u);
    EXPECT_LT(report.starvedSeconds, 0.02 * report.feedSeconds);
}

// The whole path from the network line to the operator's message: the send
// ends with the vanished-device text within a few seconds, no hang.
TEST_F(DeviceServerEndToEnd, KillingTheServerMidSendEndsTheSendWithTheVanishedDeviceText)
{
    machine::MachineConfig config;
    config.mode = machine::MachineMode::Dnc;
    config.lineCharsPerSecond = 9600.0 / 10;
    ASSERT_NO_FATAL_FAILURE(Start(config));
    WriteSettings([](settings::SessionSettings& s) { s.sendMode = "DNC"; });
    test::BackgroundCli cli(Command({"send", "--direct", File("BIG.NC", test::NcProgram(60'000))}));
    ASSERT_TRUE(machine->WaitReceived(1000, 15s));
    const auto killed = std::chrono::steady_clock::now();
    server->Kill();
    const auto result = cli.Finish(20s);
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 5s);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("the device is gone"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(" BIG.NC 送信エラー"), std::string::npos) << result.err;
}

} // namespace
