// The DNC feed forecast on programs whose demand for characters is known.

#include "core/prepare/FeedForecast.h"

#include <gtest/gtest.h>

#include <sstream>

namespace maroka::prepare {
namespace {

// `count` moves of `millimetres` back and forth at F`feed` (mm/min), after a
// header of comment lines that take no machining time.
std::string BackAndForth(int count, const char* millimetres, int feed, int headerLines = 0)
{
    std::string program = "%\n";
    for (int n = 0; n < headerLines; ++n)
        program += "(HEADER LINE " + std::to_string(n) + " WITH SOME TEXT)\n";
    for (int n = 0; n < count; ++n) {
        program += "G01X";
        program += n % 2 == 0 ? millimetres : "0.000";
        program += "Y0.000F" + std::to_string(feed) + "\n";
    }
    return program + "M30\n%\n";
}

FeedForecast Forecast(const std::string& program, std::uint32_t baud, int bits = 11,
                      std::size_t buffer = FeedLine::kTypicalControlBuffer)
{
    std::istringstream in(program);
    return ForecastFeed(in, FeedLine{baud, bits, buffer});
}

TEST(FeedForecast, LongMovesKeepASlowLineAhead)
{
    // 21-byte blocks of 100 mm at F600: ten seconds each.
    const FeedForecast forecast = Forecast(BackAndForth(50, "100.000", 600, 40), 1200);
    EXPECT_FALSE(forecast.Starves());
    EXPECT_EQ(forecast.stoppedSeconds, 0);
    EXPECT_EQ(forecast.sufficientBaudRate, std::optional<std::uint32_t>(1200));
    EXPECT_EQ(FeedForecastText(forecast), "DNC 供給不足の予測なし（1200 bps）");
}

TEST(FeedForecast, ShortFastMovesNameTheFirstStopAndTheRateThatFeedsThem)
{
    // 21-byte blocks of 1 mm at F6000 run 10 ms each: 2100 characters a
    // second. 9600 7E2 carries 865, 19200 1730, 38400 3460. The comment
    // header is read before the first move and is not a stop.
    const std::string program = BackAndForth(3000, "1.000", 6000, 40);
    const FeedForecast slow = Forecast(program, 9600);
    ASSERT_TRUE(slow.Starves());
    // The buffer bridges the first few blocks only.
    EXPECT_GT(slow.firstStopLine, 42U);
    EXPECT_LT(slow.firstStopLine, 42U + 256 / 21 + 5);
    EXPECT_EQ(slow.firstStopBlock, slow.firstStopLine % 2 == 0 ? "G01X1.000Y0.000F6000" : "G01X0.000Y0.000F6000");
    // 3000 blocks need 63,000 characters: 73 s at 865 a second for 30 s of cutting.
    EXPECT_NEAR(slow.stoppedSeconds, 63000 / 865.0 - 30, 2.0);
    EXPECT_EQ(slow.sufficientBaudRate, std::optional<std::uint32_t>(38400));
    // The line's own rate heads the text, as the estimate command shows it.
    const std::string text = FeedForecastText(slow);
    EXPECT_NE(text.find("38400 bps 以上なら止まりません"), std::string::npos) << text;

    EXPECT_FALSE(Forecast(program, 38400).Starves());

    // 1 mm at F2600 needs 910 characters a second: more than 9600 bps carries
    // in 11-bit frames (864), less than in 10-bit ones (950).
    const std::string between = BackAndForth(3000, "1.000", 2600, 40);
    EXPECT_TRUE(Forecast(between, 9600).Starves());
    EXPECT_FALSE(Forecast(between, 9600, 10).Starves());
}

TEST(FeedForecast, ABiggerBufferBridgesAShortBurst)
{
    // One second of slow moves, a burst of 30 fast blocks (630 bytes in
    // 0.3 s), then slow moves again: a 256-byte buffer runs dry in the burst,
    // a 4 KB one was filled during the slow part and bridges it.
    std::string slow;
    std::string burst;
    for (int n = 0; n < 30; ++n) {
        slow += "G01X10.000Y0.000F600\nG01X0.0000Y0.000F600\n";
        burst += n % 2 == 0 ? "G01X1.000Y0.000F6000\n" : "G01X0.000Y0.000F6000\n";
    }
    const std::string program = "%\n" + slow + burst + slow;
    EXPECT_TRUE(Forecast(program, 9600).Starves());
    EXPECT_FALSE(Forecast(program, 9600, 11, 4096).Starves());
}

TEST(FeedForecast, EvenTheFastestLineCanBeTooSlow)
{
    // 0.01 mm at F3000: 0.2 ms per 21-byte block, 105,000 characters a second.
    const FeedForecast forecast = Forecast(BackAndForth(2000, "0.010", 3000), 115200, 10);
    EXPECT_TRUE(forecast.Starves());
    EXPECT_FALSE(forecast.sufficientBaudRate.has_value());
    EXPECT_NE(FeedForecastText(forecast).find("115200 bps でも止まります"), std::string::npos);
}

} // namespace
} // namespace maroka::prepare
