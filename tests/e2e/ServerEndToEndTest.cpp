// maroka-cli server driven by the simulated machine over a real
// pseudo-terminal pair: a working session of call, save, list, delete,
// rename and mail, ended by SIGTERM as an operator would end it.

#include "e2e/CliRun.h"

#include "core/logs/WorkFilePath.h"
#include "core/settings/SettingsFile.h"
#include "machine/lib/SimulatedMachine.h"

#include "core/mail/SmtpTestServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::test::ReadFileBytes;
using maroka::test::SmtpTestServer;
using maroka::test::TempDir;
using maroka::test::WriteFileBytes;

namespace fs = std::filesystem;

namespace {

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

} // namespace

TEST(ServerEndToEnd, TheMachineCallsSavesListsDeletesRenamesAndMails)
{
    SmtpTestServer smtp;
    if (SmtpTestServer::Python().empty())
        GTEST_SKIP() << "python3-aiosmtpd is not installed";
    ASSERT_TRUE(smtp.Running());

    machine::MachineConfig config;
    config.lineCharsPerSecond = 50'000;
    machine::SimulatedMachine machine(config);
    std::string error;
    ASSERT_TRUE(machine.Start(error)) << error;

    TempDir dir;
    const fs::path folder = dir / "programs";
    fs::create_directories(folder);
    const std::string called = "%\r\nO1000(CALLED)\r\nG00X0Y0\r\nM30\r\n%\r\n";
    WriteFileBytes(folder / "O1000.NC", called);

    settings::SessionSettings s;
    s.receiveEndSeconds = "1";
    // Asked about at the start; the answer without a terminal is No.
    s.ignoreCycleStart = true;
    s.mailHost = "127.0.0.1";
    s.smtpPort = std::to_string(smtp.Port());
    s.mailId = "cell-3";
    s.mailSenderAddress = "maroka@example.com";
    s.mailRecipient = "Shift Lead <lead@example.com>";
    s.mailSubject = "Cell 3";
    const std::string settingsPath = (dir / "maroka0.ini").string();
    ASSERT_FALSE(settings::SettingsFile(settingsPath).SaveSettings(s));

    // The command file appears when the server first waits for a command.
    const fs::path workFolder = fs::path(MAROKA_CLI_PATH).parent_path() / "Maroka_Work";
    const fs::path commandFile = logs::WorkFilePath(workFolder.string(), "COMNDFILE", machine.DevicePath());
    fs::remove(commandFile);

    test::BackgroundCli cli(
        {"--settings", settingsPath, "--port", machine.DevicePath(), "server", "--folder", folder.string()});
    ASSERT_TRUE(WaitFor([&] { return fs::exists(commandFile); }, 15s));

    auto ask = [&](const std::string& command) {
        const std::size_t before = machine.ReceivedBytes().size();
        const auto reply = machine.RunCommand(command, 300ms, 15s);
        EXPECT_TRUE(reply) << command;
        return machine.ReceivedBytes().substr(before);
    };

    // Call: the file's bytes as they are.
    EXPECT_EQ(ask("R/O1000.NC"), called);

    // Save: the next program goes into the named file once the server waits for it.
    machine.SendCommand("S/NEW.NC", 300ms);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(folder / "NEW.NC"); }, 15s));
    machine::PunchJob job;
    job.data = "%\r\nO2000(SAVED)\r\nG01X5.F100\r\nM30\r\n%\r\n";
    machine.Punch(job);
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::string saved = ReadFileBytes(folder / "NEW.NC");
            return saved.find("M30\r\n") != std::string::npos && saved.ends_with("%\r\n");
        },
        15s));
    EXPECT_NE(ReadFileBytes(folder / "NEW.NC").find("O2000(SAVED)\r\nG01X5.F100\r\n"), std::string::npos);
    // The reception ends by its quiet time before the next command may come.
    std::this_thread::sleep_for(2500ms);

    EXPECT_EQ(ask("L/"),
              "%\r\n([SEARCH_FILE_LIST])\r\n(NEW.NC)\r\n(O1000.NC)\r\n([SEARCH_FILE_LIST_END])\r\nM30\r\n%\r\n");

    machine.SendCommand("D/o1000.nc", 300ms);
    EXPECT_TRUE(WaitFor([&] { return !fs::exists(folder / "O1000.NC"); }, 15s));
    machine.SendCommand("RN/NEW.NC/RENAMED.NC", 300ms);
    EXPECT_TRUE(WaitFor([&] { return fs::exists(folder / "RENAMED.NC"); }, 15s));

    machine.SendCommand("M/CYCLE END", 300ms);
    ASSERT_TRUE(WaitFor([&] { return !smtp.Events(0ms).empty() && smtp.Events(0ms).back().command == "QUIT"; }, 15s));
    const auto events = smtp.Events();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].argument, "cell-3");
    EXPECT_EQ(events[3].argument, "lead@example.com");
    EXPECT_TRUE(events[4].argument.ends_with("\r\n\r\nCYCLE END\r\n")) << events[4].argument;

    EXPECT_EQ(ask("L/"), "%\r\n([SEARCH_FILE_LIST])\r\n(RENAMED.NC)\r\n([SEARCH_FILE_LIST_END])\r\nM30\r\n%\r\n");

    cli.Signal(SIGTERM);
    const auto result = cli.Finish(30s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("reset"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("メールを送信しました。"), std::string::npos) << result.err;
    // The session's work files of the port go with it.
    EXPECT_FALSE(fs::exists(commandFile));
}
