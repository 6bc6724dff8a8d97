#include "core/prepare/MachiningEstimate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace maroka::prepare {
namespace {

constexpr double kPi = std::numbers::pi;
using E = MachiningEstimate;

// Estimate of the blocks from a fresh reset.
MachiningEstimate EstimateOf(const std::vector<std::string>& blocks)
{
    MachiningEstimate e;
    e.Reset();
    for (const auto& block : blocks)
        EXPECT_TRUE(e.EstimateBlock(block)) << block;
    return e;
}

TEST(MachiningEstimate, MotionsOfPrograms)
{
    struct Case {
        std::vector<std::string> blocks;
        double (E::*value)() const;
        double expected;
        double tolerance; // 0: equal but for rounding
    };
    const Case cases[] = {
        {{"G00X100.Y0"}, &E::RapidTime, 0.0125, 0},
        {{"G00X100.Y0"}, &E::RapidLength, 100, 0},
        {{"G00X100.Y0"}, &E::Total, 0.0125, 0},
        // Without any F the length counts but no time; the feed is modal.
        {{"G01X100."}, &E::FeedLength, 100, 0},
        {{"G01X100."}, &E::FeedTime, 0, 0},
        {{"G01X100.F200.", "X0"}, &E::FeedTime, 1.0, 0},
        // Words without a decimal point count in thousandths; F is taken as written.
        {{"G01X100F200."}, &E::FeedLength, 0.1, 1e-6},
        {{"G01X100F200."}, &E::FeedTime, 0.0005, 1e-8},
        {{"G01X100.F200"}, &E::FeedTime, 0.5, 0},
        // "G01 " holds a blank: no G word is read, the rapid stays modal.
        // "X100. " holds the blank before Y: X is missing.
        {{"G01 X100."}, &E::RapidLength, 100, 0},
        {{"G01 X100. Y5."}, &E::RapidLength, 5, 0},
        // Arcs; a negative R takes the long way round.
        {{"G02X20.Y0R10.F100."}, &E::FeedLength, 10 * kPi, 1e-4},
        {{"G02X20.Y0R-10.F100."}, &E::FeedLength, 10 * kPi, 1e-4},
        {{"G02X0Y0I10.J0F100."}, &E::FeedLength, 20 * kPi, 1e-4},
        {{"G02X0Y0I10.J0F100."}, &E::FeedTime, 20 * kPi / 100, 1e-6},
        {{"G03X10.Y10.R10."}, &E::FeedLength, 5 * kPi, 1e-4},
        {{"G03X10.Y10.R-10."}, &E::FeedLength, 15 * kPi, 1e-4},
        // ZX plane: Z and X in the plane, K and I the centre, Y the lift.
        {{"G18G02X20.Z0I10.K0"}, &E::FeedLength, 10 * kPi, 1e-4},
        // YZ plane, helical: a full circle of radius 5 lifting X by 3.
        {{"G19G03Y0Z0X3.J5."}, &E::FeedLength, std::hypot(10 * kPi, 3.0), 1e-4},
        // A chord longer than the diameter counts as a half circle.
        {{"G02X30.Y0R10."}, &E::FeedLength, 10 * kPi, 1e-4},
        // Incremental: a missing axis means no movement on it.
        {{"G91G01X10.F100.", "G91G01X10.F100."}, &E::FeedTime, 0.2, 1e-9},
        {{"G91G01X10.F100.", "Y10."}, &E::FeedLength, 20, 1e-6},
        {{"G91G02I5.F100."}, &E::FeedLength, 10 * kPi, 1e-4},
        // G04 is no dwell: with G01 modal it moves X to 1.
        {{"G01F60.", "G04X1."}, &E::FeedLength, 1, 0},
        // G92, canned cycles and G65 stop the estimate until a motion code
        // comes; G80 and G28 move rapid.
        {{"G92X0Y0", "X100.", "G00X100."}, &E::RapidLength, 100, 0},
        {{"G92X50.", "G90X20."}, &E::Total, 0, 0},
        {{"G81X10.", "G65X10.", "G80X10.", "G28X20."}, &E::RapidLength, 20, 0},
        // Lower case and comments move nothing.
        {{"g01x100.f200.", "G00X100.(Y50.)", "(G00X900.)"}, &E::RapidLength, 100, 0},
        // A long or malformed G word ends the reading of G words: X10. goes
        // rapid, and G01 stays in force past "G-1".
        {{"G0001.0X10.", "G01G-1G00X20."}, &E::FeedLength, 10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.blocks.front() + (c.blocks.size() > 1 ? " ..." : ""));
        if (c.tolerance == 0)
            EXPECT_DOUBLE_EQ((EstimateOf(c.blocks).*c.value)(), c.expected);
        else
            EXPECT_NEAR((EstimateOf(c.blocks).*c.value)(), c.expected, c.tolerance);
    }
}

TEST(MachiningEstimate, AResetForgetsTheModalFeedAndAnUnclosedCommentEndsTheEstimate)
{
    MachiningEstimate e = EstimateOf({"G01X100.F200."});
    e.Reset();
    e.EstimateBlock("G01X100.");
    EXPECT_EQ(e.Total(), 0);
    EXPECT_FALSE(e.EstimateBlock("G00X1.(OPEN"));
}

TEST(MachiningEstimate, ReadsNumbersAsAtofDoes)
{
    const std::pair<const char*, double> cases[] = {
        {"1.2.3", 1.2},
        {"-.5", -0.5},
        {"+5", 5},
        {"5-3", 5},
        {"--5", 0},
        {"", 0},
        {"0.1", 0.1},
        {"123.456", 123.456},
        {"12345678901234567890.5", 12345678901234567890.5},
        {"0.00000000000000000000000001", 1e-26},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ReadReal(text), value) << text;
}

} // namespace
} // namespace maroka::prepare
