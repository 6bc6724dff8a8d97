// maroka-cli server driven by the simulated machine over a real
// pseudo-terminal pair: a call and a mail, ended by the device vanishing;
// and SIGTERM ending a server held up in a mail. What each command does is
// for the server session tests.

#include "e2e/CliRun.h"

#include "core/mail/SmtpTestServer.h"

#include <csignal>
#include <thread>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::test::SmtpTestServer;

namespace fs = std::filesystem;

namespace {

struct ServerEndToEnd : test::EndToEnd {
    ServerEndToEnd()
    {
        machine::MachineConfig config;
        config.lineCharsPerSecond = 50'000;
        StartMachine(config);
    }

    fs::path folder = dir / "programs";
    std::unique_ptr<test::BackgroundCli> cli;
};

TEST_F(ServerEndToEnd, TheMachineCallsAndMailsUntilTheDeviceVanishes)
{
    // The mail needs python3-aiosmtpd; the rest of the session runs without it.
    SmtpTestServer smtp;
    const bool mailing = !SmtpTestServer::Python().empty();
    ASSERT_TRUE(!mailing || smtp.Running());
    const std::string called = "%\r\nO1000(CALLED)\r\nG00X0Y0\r\nM30\r\n%\r\n";
    fs::create_directories(folder);
    test::WriteFileBytes(folder / "O1000.NC", called);
    WriteSettings([&](settings::SessionSettings& s) {
        s.mailHost = "127.0.0.1";
        s.smtpPort = std::to_string(smtp.Port());
        s.mailId = "cell-3";
        s.mailSenderAddress = "maroka@example.com";
        s.mailRecipient = "Shift Lead <lead@example.com>";
        s.mailSubject = "Cell 3";
    });
    fs::remove(WorkFile("ERRLOGFILE"));
    ASSERT_TRUE(ServerWaits(cli, folder));

    // Call: the file's bytes as they are.
    ASSERT_TRUE(machine->RunCommand("R/O1000.NC", 300ms, 15s));
    EXPECT_EQ(machine->ReceivedBytes(), called);

    if (mailing) {
        machine->SendCommand("M/CYCLE END", 300ms);
        ASSERT_TRUE(
            test::WaitFor([&] { return !smtp.Events(0ms).empty() && smtp.Events(0ms).back().command == "QUIT"; }, 15s));
        const auto events = smtp.Events();
        ASSERT_EQ(events.size(), 6u);
        EXPECT_TRUE(events[4].argument.ends_with("\r\n\r\nCYCLE END\r\n")) << events[4].argument;
    }

    // The device vanishes: the server ends with the reason and keeps the
    // error log; the command file of the port goes with it.
    machine->Close();
    const auto result = cli->Finish(30s);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("server: stopped: the line failed"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("メールを送信しました。") != std::string::npos, mailing) << result.err;
    EXPECT_TRUE(fs::exists(WorkFile("ERRLOGFILE")));
    EXPECT_FALSE(fs::exists(WorkFile("COMNDFILE")));
    fs::remove(WorkFile("ERRLOGFILE"));
}

TEST_F(ServerEndToEnd, SigtermEndsAMailThatAServerKeepsGoing)
{
    // An SMTP server that never ends its greeting: one continuation line
    // after another.
    test::BabblingServer babbler(60s);
    WriteSettings([&](settings::SessionSettings& s) {
        s.mailHost = "127.0.0.1";
        s.smtpPort = std::to_string(babbler.Port());
        s.mailRecipient = "lead@example.com";
    });
    ASSERT_TRUE(ServerWaits(cli, folder));
    machine->SendCommand("M/HELLO", 300ms);
    EXPECT_TRUE(test::WaitFor([&] { return babbler.Connected(); }, 15s));
    std::this_thread::sleep_for(500ms);
    cli->Signal(SIGTERM);
    const auto result = cli->Finish(8s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("reset"), std::string::npos) << result.err;
    EXPECT_LT(result.took, 6s);
}

} // namespace
