#include "machine/lib/IncomingWire.h"

#include <gtest/gtest.h>

using namespace maroka::machine;
using namespace std::chrono_literals;

namespace {

// Takes what the wire has carried by `at`, with `waiting` bytes in the
// pseudo-terminal; returns the arrival times.
std::vector<Clock::time_point> LookAndTake(IncomingWire& wire, Clock::time_point at, std::size_t& waiting)
{
    std::vector<Clock::time_point> arrivals;
    const std::size_t carried = wire.Look(at, waiting);
    waiting -= carried;
    wire.Took(carried, waiting, arrivals);
    return arrivals;
}

} // namespace

TEST(IncomingWireTest, CarriesOneCharacterPerCharacterTimeFromWhenItSawTheBytes)
{
    IncomingWire wire(1ms);
    const Clock::time_point t0{10s};
    std::size_t waiting = 100;
    EXPECT_TRUE(LookAndTake(wire, t0, waiting).empty()); // the first bit has just left
    EXPECT_TRUE(wire.Busy());
    EXPECT_EQ(wire.NextArrival(), t0 + 1ms);

    auto arrivals = LookAndTake(wire, t0 + 2500us, waiting);
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_EQ(arrivals[0], t0 + 1ms);
    EXPECT_EQ(arrivals[1], t0 + 2ms);

    // A look 40 ms late gets the 40 bytes carried meanwhile, in order and at
    // their own times, never more.
    arrivals = LookAndTake(wire, t0 + 42500us, waiting);
    ASSERT_EQ(arrivals.size(), 40u);
    EXPECT_EQ(arrivals.front(), t0 + 3ms);
    EXPECT_EQ(arrivals.back(), t0 + 42ms);
    EXPECT_EQ(waiting, 58u);
    EXPECT_EQ(wire.BusySince(), t0);
}

TEST(IncomingWireTest, BytesBehindTheBacklogFollowItAndAnIdleWireStartsAfresh)
{
    IncomingWire wire(1ms);
    const Clock::time_point t0{10s};
    std::size_t waiting = 5;
    LookAndTake(wire, t0, waiting);
    // The PC writes 5 more while the first 5 are on the wire: no gap.
    waiting += 5;
    auto arrivals = LookAndTake(wire, t0 + 4ms, waiting);
    EXPECT_EQ(arrivals.size(), 4u);
    arrivals = LookAndTake(wire, t0 + 20ms, waiting);
    ASSERT_EQ(arrivals.size(), 6u);
    EXPECT_EQ(arrivals.back(), t0 + 10ms);
    EXPECT_FALSE(wire.Busy());

    // The wire stood idle: what the PC writes later cannot have been on it
    // before the machine saw it.
    waiting = 3;
    EXPECT_TRUE(LookAndTake(wire, t0 + 50ms, waiting).empty());
    EXPECT_EQ(wire.BusySince(), t0 + 50ms);
    arrivals = LookAndTake(wire, t0 + 60ms, waiting);
    ASSERT_EQ(arrivals.size(), 3u);
    EXPECT_EQ(arrivals.front(), t0 + 51ms);
}
