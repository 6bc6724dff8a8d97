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

TEST(MachineOptionsTest, DncBufferFlowBytesPunchFaultsAndFraming)
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

    ASSERT_TRUE(Parse({"--punch", "a.nc", "--damage", "3,7=2A", "--drop", "5", "--leader", "20", "--no-dc4",
                       "--punch-after", "1.5", "--wait-start"},
                      options, error))
        << error;
    EXPECT_EQ(options.punchFile, "a.nc");
    EXPECT_EQ(options.punch.startDelay.count(), 1500);
    EXPECT_TRUE(options.punch.waitForStart);
    // Leader, DC2, flipped byte 3, byte 7 replaced, byte 5 dropped, no DC4.
    options.punch.data = "ABCDEFGHIJ";
    EXPECT_EQ(BuildPunchStream(options.punch), std::string(20, '\0') + "\x12" + "ABCEEG*IJ");
}

TEST(MachineOptionsTest, UsageErrorsAreRefusedAndNameTheOption)
{
    const struct {
        std::vector<std::string> args;
        const char* named; // the option the error names, where it names one
    } cases[] = {
        {{"--baud"}, "--baud"},
        {{"--timeout", "-1"}, "--timeout"},
        {{"--frobnicate"}, "--frobnicate"},
        {{"--baud", "0"}, ""},
        {{"--dnc", "--buffer", "100", "--high", "200"}, ""},
        {{"--dnc", "--high", "100", "--low", "100"}, ""},
        {{"--xoff", "11"}, ""},
        {{"--mem", "--dnc"}, ""},
        {{"--damage", "3,,4"}, ""},
        {{"--drop", "4=20"}, ""},
        {{"--punch", "a", "--command", "O1(L/)"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : ""));
        MachineOptions options;
        std::string error;
        EXPECT_FALSE(Parse(c.args, options, error));
        EXPECT_NE(error.find(c.named), std::string::npos) << error;
    }
}
