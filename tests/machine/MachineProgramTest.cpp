// Runs the maroka-machine program itself, as the end-to-end tests and an
// operator do.

#include "machine/PcSide.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using maroka::test::PcSide;
using maroka::test::TempDir;
using namespace std::chrono_literals;
using namespace std::string_literals;

extern char** environ;

namespace {

class MachineProcess {
public:
    explicit MachineProcess(std::vector<std::string> args)
    {
        args.insert(args.begin(), MAROKA_MACHINE_BIN);
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
    }

    ~MachineProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            ::close(out_);
    }

    // One line of standard output, without its line feed.
    std::string ReadLine(std::chrono::milliseconds wait)
    {
        std::string line;
        auto end = std::chrono::steady_clock::now() + wait;
        while (std::chrono::steady_clock::now() < end) {
            std::size_t eol = buffered_.find('\n');
            if (eol != std::string::npos) {
                line = buffered_.substr(0, eol);
                buffered_.erase(0, eol + 1);
                return line;
            }
            pollfd pfd{out_, POLLIN, 0};
            if (::poll(&pfd, 1, 100) <= 0)
                continue;
            char chunk[512];
            ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0)
                break;
            buffered_.append(chunk, static_cast<std::size_t>(n));
        }
        return line;
    }

    // Exit status, or -1 when the program is still running after `wait`.
    int Wait(std::chrono::milliseconds wait)
    {
        auto end = std::chrono::steady_clock::now() + wait;
        while (pid_ > 0) {
            int status = 0;
            pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (std::chrono::steady_clock::now() >= end)
                return -1;
            ::usleep(10000);
        }
        return -1;
    }

    std::string Device(std::chrono::milliseconds wait)
    {
        const std::string prefix = "maroka-machine: device ";
        std::string line = ReadLine(wait);
        return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : std::string();
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffered_;
};

} // namespace

TEST(MachineProgramTest, ReceivesOneProgramSavesItAndExits)
{
    TempDir dir;
    MachineProcess machine({"--exit-after-program", "--timeout", "20", "--save", dir.Path().string(), "--link",
                            (dir / "ttyCNC").string()});
    std::string device = machine.Device(5s);
    ASSERT_FALSE(device.empty());
    PcSide pc((dir / "ttyCNC").string()); // through the stable link
    ASSERT_TRUE(pc.IsOpen());
    ASSERT_TRUE(pc.Write("\0\0\x12%\r\nO0815(TEST)\r\nG00X0\r\nM30\r\n%\r\n\x14"s));
    EXPECT_EQ(machine.ReadLine(5s), "maroka-machine: program O0815: 31 bytes, 5 lines, ended by closing %");
    // The machine ends with the program, maybe before the DC4 behind it is off the wire.
    const std::string summary = machine.ReadLine(5s);
    EXPECT_TRUE(std::regex_match(summary, std::regex("maroka-machine: summary: received 3[45] bytes, .*"))) << summary;
    // The figures line is for scripts: its keys stay.
    const std::string figures = machine.ReadLine(5s);
    EXPECT_TRUE(std::regex_match(
        figures,
        std::regex("maroka-machine: figures received=3[45] executed=0 lost=0 alarms=0 starved_s=0.000 feed_s=0.000 "
                   "buffer_peak=0 xoff=0 xon=0 after_xoff_max=0 wire_backlog_max=[0-9]+")))
        << figures;
    EXPECT_EQ(machine.Wait(5s), 0);
    EXPECT_EQ(maroka::test::ReadFileBytes(dir / "O0815.NC"), "%\r\nO0815(TEST)\r\nG00X0\r\nM30\r\n%\r\n");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "ttyCNC")));
}

TEST(MachineProgramTest, PunchesAFileAndEndsWithStatusZero)
{
    TempDir dir;
    maroka::test::WriteFileBytes(dir / "p.nc", "%\nO1\nG00\n%\n");
    MachineProcess machine({"--punch", (dir / "p.nc").string(), "--wait-start", "--baud", "19200", "--damage", "6",
                            "--exit-after-program", "--timeout", "20"});
    std::string device = machine.Device(5s);
    ASSERT_FALSE(device.empty());
    PcSide pc(device);
    ASSERT_TRUE(pc.Write("\x11"));
    EXPECT_EQ(pc.Read(5s, 13), "\x12%\nO1\nG10\n%\n\x14");
    EXPECT_EQ(machine.Wait(5s), 0);
}

TEST(MachineProgramTest, FailuresAndUsageErrorsHaveTheirStatus)
{
    {
        MachineProcess machine({"--dnc", "--exec-cps", "100", "--stop-on-alarm", "--timeout", "20"});
        std::string device = machine.Device(5s);
        ASSERT_FALSE(device.empty());
        PcSide pc(device);
        ASSERT_TRUE(pc.Write(std::string(2000, 'X')));
        EXPECT_EQ(machine.Wait(5s), 1);
    }
    {
        MachineProcess machine({"--timeout", "0.2"});
        ASSERT_FALSE(machine.Device(5s).empty());
        EXPECT_EQ(machine.Wait(5s), 1);
    }
    {
        MachineProcess machine({"--buffer", "x"});
        EXPECT_EQ(machine.Wait(5s), 2);
    }
    {
        MachineProcess machine({"--punch", "/nonexistent/p.nc"});
        EXPECT_EQ(machine.Wait(5s), 1);
    }
}
