// maroka-cli receive against the simulated machine punching over a real
// pseudo-terminal pair.

#include "e2e/CliRun.h"

#include "core/settings/SettingsFile.h"
#include "machine/lib/SimulatedMachine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <thread>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::test::TempDir;

namespace {

std::string MakeProgram(std::size_t bytes)
{
    std::string program = "%\r\nO3000(RECEIVE)\r\n";
    for (std::size_t n = 0; program.size() < bytes; ++n)
        program += "N" + std::to_string(n) + "G01X" + std::to_string(n % 997) + ".125Y-" + std::to_string(n % 311) +
                   ".5F1200\r\n";
    return program + "M30\r\n%\r\n";
}

// The receive file for a program punched with DC2 and DC4: head line, the
// program without its own "%" lines, the empty line the DC4 ends, tail line.
std::string Received(const std::string& program)
{
    return "%\r\n" + program.substr(3, program.size() - 6) + "\r\n%\r\n";
}

double ChildCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct ReceiveEndToEnd : ::testing::Test {
    std::string WriteSettings(const std::function<void(settings::SessionSettings&)>& change = {})
    {
        settings::SessionSettings s;
        s.receiveStartDcEnabled = true;
        s.receiveEndSeconds = "1";
        if (change)
            change(s);
        const std::string path = (dir / "maroka0.ini").string();
        EXPECT_FALSE(settings::SettingsFile(path).SaveSettings(s));
        return path;
    }

    std::unique_ptr<machine::SimulatedMachine> StartMachine(double charsPerSecond)
    {
        machine::MachineConfig config;
        config.lineCharsPerSecond = charsPerSecond;
        auto machine = std::make_unique<machine::SimulatedMachine>(config);
        std::string error;
        EXPECT_TRUE(machine->Start(error)) << error;
        return machine;
    }

    void Punch(machine::SimulatedMachine& machine, const std::string& program, bool sendDc4 = true)
    {
        machine::PunchJob job;
        job.data = program;
        job.leaderNuls = 50;
        job.waitForStart = true;
        job.sendDc4 = sendDc4;
        machine.Punch(job);
    }

    TempDir dir;
};

} // namespace

TEST_F(ReceiveEndToEnd, AOneMegabyteProgramPunchedAtAPacedRateLandsAsExpected)
{
    auto machine = StartMachine(400'000);
    const std::string program = MakeProgram(1'000'000);
    Punch(*machine, program);
    const std::string target = (dir / "O3000.NC").string();
    const auto result =
        test::RunCli({"--settings", WriteSettings(), "--port", machine->DevicePath(), "receive", target}, 120s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::ReadFileBytes(target), Received(program));
    EXPECT_NE(result.err.find("受信終了"), std::string::npos) << result.err;
}

TEST_F(ReceiveEndToEnd, TwentyMegabytesAsFastAsTheMachineCanPunch)
{
    auto machine = StartMachine(1e7);
    const std::string program = MakeProgram(20'000'000);
    Punch(*machine, program);
    const std::string target = (dir / "BIG.NC").string();
    const double cpuBefore = ChildCpuSeconds();
    const auto result =
        test::RunCli({"--settings", WriteSettings(), "--port", machine->DevicePath(), "receive", target}, 300s);
    const double cpu = ChildCpuSeconds() - cpuBefore;
    ASSERT_EQ(result.exitCode, 0) << result.err.substr(0, 2000);
    EXPECT_EQ(test::ReadFileBytes(target), Received(program));
    // Figures for the record; the run includes the one-second end-of-data wait.
    const double megabytes = static_cast<double>(program.size()) / 1e6;
    const double seconds = static_cast<double>(result.took.count()) / 1000.0 - 1.0;
    std::printf("receive: %.1f MB in %.2f s: %.1f MB/s, %.3f CPU s/MB\n", megabytes, seconds, megabytes / seconds,
                cpu / megabytes);
}

TEST_F(ReceiveEndToEnd, WaitingForTheFirstByteTakesNoProcessorTime)
{
    auto machine = StartMachine(1000);
    const double cpuBefore = ChildCpuSeconds();
    test::BackgroundCli cli(
        {"--settings", WriteSettings(), "--port", machine->DevicePath(), "receive", (dir / "IDLE.NC").string()});
    std::this_thread::sleep_for(10s);
    cli.Signal(SIGINT);
    const auto result = cli.Finish(30s);
    const double cpu = ChildCpuSeconds() - cpuBefore;
    // Reset ends the wait: no reception, so no success.
    EXPECT_EQ(result.exitCode, 1) << result.err;
    std::printf("receive: %.3f CPU s over %.1f s of waiting: %.2f %% of a core\n", cpu,
                static_cast<double>(result.took.count()) / 1000.0,
                cpu * 100.0 / (static_cast<double>(result.took.count()) / 1000.0));
    // Start-up included, well under 1 % of a core over ten seconds.
    EXPECT_LT(cpu, 0.1);
}

TEST_F(ReceiveEndToEnd, AFinalLineWithoutALineEndIsKeptAndEnded)
{
    auto machine = StartMachine(20'000);
    Punch(*machine, "%\r\nG1\r\nM30", false);
    const std::string target = (dir / "O1.NC").string();
    auto result =
        test::RunCli({"--settings", WriteSettings(), "--port", machine->DevicePath(), "receive", target}, 60s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::ReadFileBytes(target), "%\r\nG1\r\nM30\r\n%\r\n");

    // Line ends the loop does not split on: the text beyond the last full
    // buffer is kept too, and the file ends as the settings say.
    std::string program = "%\rO2\r";
    for (int n = 0; n < 300; ++n)
        program += "N" + std::to_string(n) + "G01X1.\r";
    program += "M30\r%";
    Punch(*machine, program, false);
    result =
        test::RunCli({"--settings", WriteSettings([](settings::SessionSettings& s) { s.receiveEndOfBlock = "LF"; }),
                      "--port", machine->DevicePath(), "receive", target},
                     60s);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string file = test::ReadFileBytes(target);
    EXPECT_NE(file.find("N299G01X1.M30"), std::string::npos) << file.substr(file.size() - 80);
    EXPECT_TRUE(file.ends_with("%\n%\n")) << file.substr(file.size() - 80);
}

TEST_F(ReceiveEndToEnd, ExitAfterReceivingAndResetBetweenContinuousProgramsAreNormalEnds)
{
    auto machine = StartMachine(20'000);
    Punch(*machine, MakeProgram(200));
    const std::string target = (dir / "O3000.NC").string();
    auto result = test::RunCli({"--settings", WriteSettings([](settings::SessionSettings& s) {
                                    s.exitAfterReceive = true;
                                    s.exitAfterReceiveSeconds = "0";
                                }),
                                "--port", machine->DevicePath(), "receive", target},
                               60s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("Maroka を終了します。"), std::string::npos) << result.err;

    const auto continuous = WriteSettings([](settings::SessionSettings& s) { s.continuousReceive = true; });
    Punch(*machine, MakeProgram(200));
    test::BackgroundCli cli({"--settings", continuous, "--port", machine->DevicePath(), "receive", target});
    ASSERT_TRUE(cli.WaitForErr("継続して受信できます。", 20s));
    cli.Signal(SIGINT);
    result = cli.Finish(20s);
    EXPECT_EQ(result.exitCode, 0) << result.err;

    // A Reset before any program came whole is still a stop.
    test::BackgroundCli idle({"--settings", continuous, "--port", machine->DevicePath(), "receive", target});
    ASSERT_TRUE(idle.WaitForErr("受信データ待ち", 10s));
    idle.Signal(SIGINT);
    EXPECT_EQ(idle.Finish(20s).exitCode, 1);
}
