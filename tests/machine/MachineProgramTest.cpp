// Runs the maroka-machine program itself, as the end-to-end tests and an
// operator do.

#include "machine/PcSide.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <sstream>

using maroka::test::PcSide;
using maroka::test::TempDir;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

std::vector<std::string> MachineArguments(std::vector<std::string> args)
{
    args.insert(args.begin(), MAROKA_MACHINE_BIN);
    return args;
}

// maroka-machine with what it prints in files of the test's folder.
class MachineProcess : public maroka::test::ChildProcess {
public:
    MachineProcess(const TempDir& dir, std::vector<std::string> args)
        : ChildProcess(MachineArguments(std::move(args)), (dir / "out").string(), (dir / "err").string()),
          out_(dir / "out")
    {
    }

    std::vector<std::string> Lines() const
    {
        std::istringstream in(maroka::test::ReadFileBytes(out_));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    // The device of the line it printed first; empty when none came.
    std::string Device()
    {
        const std::string prefix = "maroka-machine: device ";
        maroka::test::WaitFor([&] { return !Lines().empty(); }, 5s);
        const auto lines = Lines();
        return !lines.empty() && lines[0].starts_with(prefix) ? lines[0].substr(prefix.size()) : std::string();
    }

private:
    std::filesystem::path out_;
};

} // namespace

TEST(MachineProgramTest, ReceivesOneProgramSavesItAndExits)
{
    TempDir dir;
    MachineProcess machine(dir, {"--exit-after-program", "--timeout", "20", "--save", dir.Path().string(), "--link",
                                 (dir / "ttyCNC").string()});
    ASSERT_FALSE(machine.Device().empty());
    PcSide pc((dir / "ttyCNC").string()); // through the stable link
    ASSERT_TRUE(pc.IsOpen());
    ASSERT_TRUE(pc.Write("\0\0\x12%\r\nO0815(TEST)\r\nG00X0\r\nM30\r\n%\r\n\x14"s));
    EXPECT_EQ(machine.Wait(5s), 0);
    const auto lines = machine.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "maroka-machine: program O0815: 31 bytes, 5 lines, ended by closing %");
    // The machine ends with the program, maybe before the DC4 behind it is off the wire.
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("maroka-machine: summary: received 3[45] bytes, .*")))
        << lines[2];
    // The figures line is for scripts: its keys stay.
    EXPECT_TRUE(std::regex_match(
        lines[3],
        std::regex("maroka-machine: figures received=3[45] executed=0 lost=0 alarms=0 starved_s=0.000 feed_s=0.000 "
                   "buffer_peak=0 xoff=0 xon=0 after_xoff_max=0 wire_backlog_max=[0-9]+")))
        << lines[3];
    EXPECT_EQ(maroka::test::ReadFileBytes(dir / "O0815.NC"), "%\r\nO0815(TEST)\r\nG00X0\r\nM30\r\n%\r\n");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "ttyCNC")));
}

TEST(MachineProgramTest, PunchesAFileAndEndsWithStatusZero)
{
    TempDir dir;
    maroka::test::WriteFileBytes(dir / "p.nc", "%\nO1\nG00\n%\n");
    MachineProcess machine(dir, {"--punch", (dir / "p.nc").string(), "--wait-start", "--baud", "19200", "--damage", "6",
                                 "--exit-after-program", "--timeout", "20"});
    PcSide pc(machine.Device());
    ASSERT_TRUE(pc.IsOpen());
    ASSERT_TRUE(pc.Write("\x11"));
    EXPECT_EQ(pc.Read(5s, 13), "\x12%\nO1\nG10\n%\n\x14");
    EXPECT_EQ(machine.Wait(5s), 0);
}

TEST(MachineProgramTest, FailuresAndUsageErrorsHaveTheirStatus)
{
    const struct {
        std::vector<std::string> args;
        std::string sent; // by the PC once the machine is there
        int status;
    } cases[] = {
        {{"--dnc", "--exec-cps", "100", "--stop-on-alarm", "--timeout", "20"}, std::string(2000, 'X'), 1},
        {{"--timeout", "0.2"}, "", 1},
        {{"--buffer", "x"}, "", 2},
        {{"--punch", "/nonexistent/p.nc"}, "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        TempDir dir;
        MachineProcess machine(dir, c.args);
        std::optional<PcSide> pc;
        if (!c.sent.empty()) {
            pc.emplace(machine.Device());
            ASSERT_TRUE(pc->Write(c.sent));
        }
        EXPECT_EQ(machine.Wait(5s), c.status);
    }
}
