// maroka-cli receive against the simulated machine punching over a real
// pseudo-terminal pair.

#include "e2e/CliRun.h"

#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

using namespace maroka;
using namespace std::chrono_literals;
using test::BackgroundCli;

namespace {

// The receive file for a program punched with DC2 and DC4: head line, the
// program without its own "%" lines, the empty line the DC4 ends, tail line.
std::string Received(const std::string& program)
{
    return "%\r\n" + program.substr(3, program.size() - 6) + "\r\n%\r\n";
}

// The processor time a running process has used so far, user and system.
double CpuSeconds(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The fields after the command name, which may hold spaces itself.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int n = 3; n < 14; ++n)
        fields >> field;
    long long user = 0;
    long long system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

struct ReceiveEndToEnd : test::EndToEnd {
    void Start(double charsPerSecond, const std::function<void(settings::SessionSettings&)>& change = {})
    {
        machine::MachineConfig config;
        config.lineCharsPerSecond = charsPerSecond;
        StartMachine(config);
        WriteSettings([&](settings::SessionSettings& s) {
            s.receiveStartDcEnabled = true;
            if (change)
                change(s);
        });
    }

    void Punch(const std::string& program)
    {
        machine::PunchJob job;
        job.data = program;
        job.leaderNuls = 50;
        job.waitForStart = true;
        machine->Punch(job);
    }

    std::string target = (dir / "O3000.NC").string();
};

// Paced, the reads come a few bytes at a time; as fast as the machine can
// punch, every read fills the buffer.
TEST_F(ReceiveEndToEnd, LargeProgramsLandByteExactAtAPacedAndAtTheFullestRate)
{
    const struct {
        std::size_t bytes;
        double charsPerSecond;
    } cases[] = {{1'000'000, 400'000}, {20'000'000, 1e7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        Start(c.charsPerSecond);
        const std::string program = test::NcProgram(c.bytes, "\r\n");
        Punch(program);
        const auto result = test::RunCli(Command({"receive", target}), 300s);
        ASSERT_EQ(result.exitCode, 0) << result.err.substr(0, 2000);
        EXPECT_EQ(test::ReadFileBytes(target), Received(program));
    }
}

TEST_F(ReceiveEndToEnd, WaitingForTheFirstByteTakesNoProcessorTime)
{
    Start(1000);
    BackgroundCli cli(Command({"receive", target}));
    ASSERT_TRUE(cli.WaitForErr("受信データ待ち", 30s)) << cli.ErrSoFar();
    // Counted from the wait on, so that start-up (slow in an instrumented
    // build) is left out: under 1 % of a core over ten seconds.
    const double waitingFrom = CpuSeconds(cli.Pid());
    std::this_thread::sleep_for(10s);
    const double used = CpuSeconds(cli.Pid()) - waitingFrom;
    cli.Signal(SIGINT);
    // Reset ends the wait: no reception, so no success.
    EXPECT_EQ(cli.Finish(30s).exitCode, 1);
    EXPECT_LT(used, 0.1);
}

TEST_F(ReceiveEndToEnd, ExitAfterReceivingAndResetBetweenContinuousProgramsAreNormalEnds)
{
    Start(20'000, [](settings::SessionSettings& s) {
        s.exitAfterReceive = true;
        s.exitAfterReceiveSeconds = "0";
    });
    Punch(test::NcProgram(200, "\r\n"));
    auto result = test::RunCli(Command({"receive", target}), 60s);
    EXPECT_EQ(result.exitCode, 0) << result.err;

    WriteSettings([](settings::SessionSettings& s) {
        s.receiveStartDcEnabled = true;
        s.continuousReceive = true;
    });
    Punch(test::NcProgram(200, "\r\n"));
    BackgroundCli cli(Command({"receive", target}));
    ASSERT_TRUE(cli.WaitForErr("継続して受信できます。", 20s));
    cli.Signal(SIGINT);
    result = cli.Finish(20s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
}

} // namespace
