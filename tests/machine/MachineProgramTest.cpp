// Runs the maroka-machine program itself, as the end-to-end tests and an
// operator do.

#include "machine/PcSide.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <regex>

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

class MachineProcess : public maroka::test::ChildProcess {
public:
    explicit MachineProcess(std::vector<std::string> args) : ChildProcess(MachineArguments(std::move(args)), {}) {}

    std::string Device(std::chrono::milliseconds wait)
    {
        const std::string prefix = "maroka-machine: device ";
        std::string line = ReadLine(wait);
        return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : std::string();
    }
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
