// The wire model behind the line pacing, on a clock the test moves.

#include "core/serial/LinePacer.h"

#include <gtest/gtest.h>

namespace maroka::serial {
namespace {

using namespace std::chrono_literals;
using Clock = LinePacer::Clock;

TEST(LinePacer, CharacterTimeComesFromTheFrameAndStaysUnderTheNominalRate)
{
    EXPECT_EQ(BitsPerCharacter({.ByteSize = 7, .Parity = kEvenParity, .StopBits = kTwoStopBits}), 11);
    EXPECT_EQ(BitsPerCharacter({.ByteSize = 8, .Parity = kNoParity, .StopBits = kOneStopBit}), 10);
    EXPECT_EQ(BitsPerCharacter({.ByteSize = 8, .Parity = kEvenParity, .StopBits = 1 /* 1.5 */}), 12);

    const LinePacer slow(4800, 11);
    const double nominal = 11.0 / 4800.0;
    const double paced = std::chrono::duration<double>(slow.CharacterTime()).count();
    EXPECT_GT(paced, nominal);
    EXPECT_LT(paced, nominal * 1.02);
    // A slice is at most 5 ms of line time, and at least one character.
    EXPECT_EQ(slow.SliceBytes(), 2U);
    EXPECT_EQ(LinePacer(115200, 10).SliceBytes(), 57U);
    EXPECT_EQ(LinePacer(300, 10).SliceBytes(), 1U);
    EXPECT_EQ(LinePacer(0, 10).SliceBytes(), LinePacer(9600, 10).SliceBytes());
}

TEST(LinePacer, NeverMoreThanOneSliceAheadOfTheWire)
{
    LinePacer pacer(115200, 10);
    const auto t0 = Clock::time_point{} + 1h;
    ASSERT_EQ(pacer.Allowance(t0), pacer.SliceBytes());
    pacer.Sent(pacer.SliceBytes(), t0);
    EXPECT_EQ(pacer.Allowance(t0), 0U);
    // Half a slice later, half a slice of room, and the wait says so.
    EXPECT_EQ(pacer.WaitBeforeNextWrite(t0), pacer.CharacterTime() * pacer.SliceBytes() - 2500us);
    const auto half = t0 + 2600us;
    const std::size_t room = pacer.Allowance(half);
    EXPECT_GE(room, pacer.SliceBytes() / 2 - 1);
    EXPECT_LE(room, pacer.SliceBytes() / 2 + 1);
    EXPECT_EQ(pacer.WaitBeforeNextWrite(half), 0ns);

    // A steady sender moves exactly at the paced rate over a long run.
    auto now = half;
    std::size_t total = 0;
    while (now < t0 + 1s) {
        const std::size_t n = pacer.Allowance(now);
        pacer.Sent(n, now);
        total += n;
        now += 1ms;
    }
    const double seconds = std::chrono::duration<double>(now - half).count();
    const double expected = seconds / std::chrono::duration<double>(pacer.CharacterTime()).count();
    EXPECT_NEAR(static_cast<double>(total), expected, pacer.SliceBytes() * 1.0);
}

TEST(LinePacer, ALateWakeUpLosesTheTimeInsteadOfBursting)
{
    LinePacer pacer(9600, 11);
    const auto t0 = Clock::time_point{} + 1h;
    pacer.Sent(pacer.SliceBytes(), t0);
    // Asleep for a whole second: the wire stood idle, and only one slice
    // may go now.
    const auto late = t0 + 1s;
    EXPECT_EQ(pacer.Allowance(late), pacer.SliceBytes());
    pacer.Sent(pacer.SliceBytes(), late);
    EXPECT_EQ(pacer.Allowance(late), 0U);
    EXPECT_EQ(pacer.WireIdleAt(), late + pacer.CharacterTime() * pacer.SliceBytes());
    pacer.Forget();
    EXPECT_EQ(pacer.Allowance(late), pacer.SliceBytes());
}

} // namespace
} // namespace maroka::serial
