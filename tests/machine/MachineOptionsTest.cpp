#include "machine/lib/MachineOptions.h"
#include "machine/lib/MachineConfig.h"

#include <gtest/gtest.h>

using namespace maroka::machine;

namespace {

bool Parse(std::vector<std::string> args, MachineOptions& options, std::string& error)
{
    options = MachineOptions();
    error.clear();
    return ParseMachineOptions(args, options, error);
}

} // namespace

TEST(MachineOptionsTest, PaceComesFromBaudAndCharacterLength)
{
    MachineOptions options;
    std::string error;
    ASSERT_TRUE(Parse({}, options, error)) << error;
    EXPECT_DOUBLE_EQ(options.config.lineCharsPerSecond, 960.0);
    ASSERT_TRUE(Parse({"--baud", "4800", "--bits", "11"}, options, error)) << error;
    EXPECT_NEAR(options.config.lineCharsPerSecond, 4800.0 / 11.0, 1e-9);
    ASSERT_TRUE(Parse({"--baud", "4800", "--cps", "123.5"}, options, error)) << error;
    EXPECT_DOUBLE_EQ(options.config.lineCharsPerSecond, 123.5);
}

TEST(MachineOptionsTest, DncBufferAndFlowBytes)
{
    MachineOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--dnc", "--buffer", "512", "--high", "400", "--low", "100", "--xoff", "93",
                       "--cycle-start-byte", "0x25", "--stop-on-alarm"},
                      options, error))
        << error;
    EXPECT_EQ(options.config.mode, MachineMode::Dnc);
    EXPECT_EQ(options.config.bufferSize, 512u);
    EXPECT_EQ(options.config.highWater, 400u);
    EXPECT_EQ(options.config.lowWater, 100u);
    EXPECT_EQ(options.config.xoffByte, 0x93);
    EXPECT_EQ(options.config.cycleStartByte, 0x25);
    EXPECT_TRUE(options.config.stopOnAlarm);

    EXPECT_FALSE(Parse({"--dnc", "--buffer", "100", "--high", "200"}, options, error));
    EXPECT_FALSE(Parse({"--dnc", "--high", "100", "--low", "100"}, options, error));
    EXPECT_FALSE(Parse({"--xoff", "11"}, options, error));
    EXPECT_FALSE(Parse({"--mem", "--dnc"}, options, error));
}

TEST(MachineOptionsTest, PunchFaultsAndFraming)
{
    MachineOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--punch", "a.nc", "--damage", "3,7=2A", "--drop", "5", "--leader", "20", "--no-dc4",
                       "--punch-after", "1.5", "--wait-start"},
                      options, error))
        << error;
    EXPECT_EQ(options.punchFile, "a.nc");
    ASSERT_EQ(options.punch.faults.size(), 3u);
    EXPECT_EQ(options.punch.faults[1].kind, ByteFault::Kind::Replace);
    EXPECT_EQ(options.punch.faults[1].value, 0x2A);
    EXPECT_EQ(options.punch.faults[2].kind, ByteFault::Kind::Drop);
    EXPECT_EQ(options.punch.startDelay.count(), 1500);
    EXPECT_TRUE(options.punch.waitForStart);

    options.punch.data = "ABCDEFGHIJ";
    EXPECT_EQ(BuildPunchStream(options.punch), std::string(20, '\0') + "\x12" + "ABCEEG*IJ");

    EXPECT_FALSE(Parse({"--damage", "3,,4"}, options, error));
    EXPECT_FALSE(Parse({"--drop", "4=20"}, options, error));
    EXPECT_FALSE(Parse({"--punch", "a", "--command", "O1(L/)"}, options, error));
}

TEST(MachineOptionsTest, UsageErrorsNameTheOption)
{
    MachineOptions options;
    std::string error;
    EXPECT_FALSE(Parse({"--baud"}, options, error));
    EXPECT_NE(error.find("--baud"), std::string::npos);
    EXPECT_FALSE(Parse({"--timeout", "-1"}, options, error));
    EXPECT_NE(error.find("--timeout"), std::string::npos);
    EXPECT_FALSE(Parse({"--frobnicate"}, options, error));
    EXPECT_NE(error.find("--frobnicate"), std::string::npos);
    EXPECT_FALSE(Parse({"--baud", "0"}, options, error));
}
