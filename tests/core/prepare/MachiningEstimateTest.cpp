#include "core/prepare/MachiningEstimate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace maroka::prepare {
namespace {

constexpr double kPi = std::numbers::pi;

// Estimate of the blocks from a fresh reset.
MachiningEstimate EstimateOf(const std::vector<std::string>& blocks)
{
    MachiningEstimate e;
    e.Reset();
    for (const auto& block : blocks)
        EXPECT_TRUE(e.EstimateBlock(block)) << block;
    return e;
}

TEST(MachiningEstimate, RapidAndFeedMoves)
{
    MachiningEstimate e = EstimateOf({"G00X100.Y0"});
    EXPECT_DOUBLE_EQ(e.RapidTime(), 0.0125);
    EXPECT_DOUBLE_EQ(e.RapidLength(), 100);
    EXPECT_DOUBLE_EQ(e.Total(), 0.0125);

    e = EstimateOf({"G01X100.F200."});
    EXPECT_DOUBLE_EQ(e.FeedTime(), 0.5);
    // Without any F the length counts but no time.
    e = EstimateOf({"G01X100."});
    EXPECT_DOUBLE_EQ(e.FeedLength(), 100);
    EXPECT_EQ(e.FeedTime(), 0);
    // The feed is modal; a reset forgets it.
    e = EstimateOf({"G01X100.F200.", "X0"});
    EXPECT_DOUBLE_EQ(e.FeedTime(), 1.0);
    e.Reset();
    e.EstimateBlock("G01X100.");
    EXPECT_EQ(e.Total(), 0);
}

TEST(MachiningEstimate, WordsWithoutADecimalPointCountInThousandths)
{
    MachiningEstimate e = EstimateOf({"G01X100F200."});
    EXPECT_NEAR(e.FeedLength(), 0.1, 1e-6);
    EXPECT_NEAR(e.FeedTime(), 0.0005, 1e-8);
    // F is taken as written.
    e = EstimateOf({"G01X100.F200"});
    EXPECT_DOUBLE_EQ(e.FeedTime(), 0.5);
}

TEST(MachiningEstimate, BlanksBreakWords)
{
    // "G01 " holds a blank: no G word is read, the rapid stays modal.
    MachiningEstimate e = EstimateOf({"G01 X100."});
    EXPECT_EQ(e.Modal().motion, 0);
    EXPECT_DOUBLE_EQ(e.RapidLength(), 100);
    // "X100. " holds the blank before Y: X is missing.
    e = EstimateOf({"G01 X100. Y5."});
    EXPECT_DOUBLE_EQ(e.RapidLength(), 5);
}

TEST(MachiningEstimate, ArcsInEachPlane)
{
    MachiningEstimate e = EstimateOf({"G02X20.Y0R10.F100."});
    EXPECT_NEAR(e.FeedLength(), 10 * kPi, 1e-4);
    e = EstimateOf({"G02X20.Y0R-10.F100."});
    EXPECT_NEAR(e.FeedLength(), 10 * kPi, 1e-4);
    e = EstimateOf({"G02X0Y0I10.J0F100."});
    EXPECT_NEAR(e.FeedLength(), 20 * kPi, 1e-4);
    EXPECT_NEAR(e.FeedTime(), 20 * kPi / 100, 1e-6);

    // A quarter: chord 10*sqrt(2); a negative R takes the long way round.
    e = EstimateOf({"G03X10.Y10.R10."});
    EXPECT_NEAR(e.FeedLength(), 5 * kPi, 1e-4);
    e = EstimateOf({"G03X10.Y10.R-10."});
    EXPECT_NEAR(e.FeedLength(), 15 * kPi, 1e-4);

    // ZX plane: Z and X in the plane, K and I the centre, Y the lift.
    e = EstimateOf({"G18G02X20.Z0I10.K0"});
    EXPECT_NEAR(e.FeedLength(), 10 * kPi, 1e-4);
    // YZ plane, helical: a full circle of radius 5 lifting X by 3.
    e = EstimateOf({"G19G03Y0Z0X3.J5."});
    EXPECT_NEAR(e.FeedLength(), std::hypot(10 * kPi, 3.0), 1e-4);
    EXPECT_EQ(e.Modal().plane, 19);

    // A chord longer than the diameter counts as a half circle.
    e = EstimateOf({"G02X30.Y0R10."});
    EXPECT_NEAR(e.FeedLength(), 10 * kPi, 1e-4);
}

TEST(MachiningEstimate, IncrementalMode)
{
    MachiningEstimate e = EstimateOf({"G91G01X10.F100.", "G91G01X10.F100."});
    EXPECT_NEAR(e.FeedTime(), 0.2, 1e-9);
    // A missing axis means no movement on it.
    e = EstimateOf({"G91G01X10.F100.", "Y10."});
    EXPECT_NEAR(e.FeedLength(), 20, 1e-6);
    EXPECT_EQ(e.Modal().distance, 91);
    e = EstimateOf({"G91G02I5.F100."});
    EXPECT_NEAR(e.FeedLength(), 10 * kPi, 1e-4);
}

TEST(MachiningEstimate, ModalCodesThatAreNotMotions)
{
    // G04 is no dwell: with G01 modal it moves X to 1.
    MachiningEstimate e = EstimateOf({"G01F60.", "G04X1."});
    EXPECT_DOUBLE_EQ(e.FeedLength(), 1);
    // G92 stops the estimate until a motion code comes.
    e = EstimateOf({"G92X0Y0", "X100.", "G00X100."});
    EXPECT_DOUBLE_EQ(e.RapidLength(), 100);
    e = EstimateOf({"G92X50.", "G90X20."});
    EXPECT_EQ(e.Total(), 0);
    // Canned cycles and G65 stop it too; G80 and G28 move rapid.
    e = EstimateOf({"G81X10.", "G65X10.", "G80X10.", "G28X20."});
    EXPECT_DOUBLE_EQ(e.RapidLength(), 20);
    // A long or malformed G word ends the reading of G words.
    e = EstimateOf({"G0001.0X10.", "G01G-1G00X20."});
    EXPECT_EQ(e.Modal().motion, 1);
}

TEST(MachiningEstimate, LowerCaseAndCommentsMoveNothing)
{
    MachiningEstimate e = EstimateOf({"g01x100.f200.", "G00X100.(Y50.)", "(G00X900.)"});
    EXPECT_DOUBLE_EQ(e.RapidLength(), 100);
    EXPECT_FALSE(e.EstimateBlock("G00X1.(OPEN"));
}

TEST(MachiningEstimate, ReadsNumbersAsAtofDoes)
{
    EXPECT_EQ(ReadReal("1.2.3"), 1.2);
    EXPECT_EQ(ReadReal("-.5"), -0.5);
    EXPECT_EQ(ReadReal("+5"), 5);
    EXPECT_EQ(ReadReal("5-3"), 5);
    EXPECT_EQ(ReadReal("--5"), 0);
    EXPECT_EQ(ReadReal(""), 0);
    EXPECT_EQ(ReadReal("0.1"), 0.1);
    EXPECT_EQ(ReadReal("123.456"), 123.456);
    EXPECT_EQ(ReadReal("12345678901234567890.5"), 12345678901234567890.5);
    EXPECT_EQ(ReadReal("0.00000000000000000000000001"), 1e-26);
}

} // namespace
} // namespace maroka::prepare
