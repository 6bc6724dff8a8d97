#include "machine/lib/DncControl.h"

#include "core/text/ControlCodes.h"

#include <gtest/gtest.h>

using namespace maroka::machine;
using namespace std::chrono_literals;

namespace {

// Records what the control does; a "%" starts and the next ends a program,
// as for the tape reader.
struct Recorder : ControlOutput {
    void Execute(unsigned char byte, Clock::time_point at) override
    {
        executed.push_back(static_cast<char>(byte));
        lastAt = at;
        if (byte == '%')
            inProgram = !inProgram;
    }
    void SendFlow(unsigned char byte, Clock::time_point at) override { flow.push_back({byte, at}); }
    bool InProgram() const override { return inProgram; }

    std::string executed;
    Clock::time_point lastAt{};
    std::vector<std::pair<unsigned char, Clock::time_point>> flow;
    bool inProgram = false;
};

MachineConfig SmallControl()
{
    MachineConfig config;
    config.mode = MachineMode::Dnc;
    config.lineCharsPerSecond = 1000; // 1 ms a character on the wire
    config.execCharsPerSecond = 500;  // 2 ms a character to execute
    config.bufferSize = 8;
    config.highWater = 6;
    config.lowWater = 2;
    return config;
}

const Clock::time_point t0{100s};

} // namespace

TEST(DncControlTest, ExecutesAtItsPaceWithXoffAtHighAndXonAtLowWater)
{
    MachineConfig config = SmallControl();
    config.xoffByte = maroka::text::kXoff93;
    Recorder out;
    DncControl control(config, out);
    // Ten bytes, one a millisecond, into a control that takes one every 2 ms.
    for (int i = 0; i < 10; ++i)
        control.Arrive(static_cast<unsigned char>('0' + i), t0 + i * 1ms, t0);
    // By 9 ms five were executed (at 0, 2, 4, 6, 8 ms): the buffer holds 5.
    EXPECT_EQ(out.executed, "01234");
    EXPECT_EQ(control.Fill(), 5u);
    EXPECT_TRUE(out.flow.empty());
    control.Arrive('A', t0 + 9500us, t0);
    ASSERT_EQ(out.flow.size(), 1u);
    EXPECT_EQ(out.flow[0].first, maroka::text::kXoff93);
    EXPECT_EQ(out.flow[0].second, t0 + 9500us);
    // Down to 2 at 16 ms: the XON goes out with that execution.
    control.RunUntil(t0 + 30ms);
    EXPECT_EQ(out.executed, "0123456789A");
    ASSERT_EQ(out.flow.size(), 2u);
    EXPECT_EQ(out.flow[1].first, maroka::text::kXon);
    EXPECT_EQ(out.flow[1].second, t0 + 16ms);
    EXPECT_EQ(control.Figures().maxFill, 6u);
    EXPECT_EQ(out.lastAt, t0 + 20ms);
}

TEST(DncControlTest, AFloodIsOneAlarmUntilTheBufferRecovers)
{
    MachineConfig config = SmallControl();
    Recorder out;
    DncControl control(config, out);
    for (int i = 0; i < 20; ++i)
        control.Arrive('x', t0 + i * 100us, t0);
    EXPECT_EQ(control.Figures().alarms, 1u);
    EXPECT_EQ(control.Figures().lostBytes, 20u - 8u - 1u); // one was executed at once
    control.RunUntil(t0 + 1s);
    control.Arrive('y', t0 + 2s, t0 + 2s);
    for (int i = 0; i < 20; ++i)
        control.Arrive('z', t0 + 2s + i * 100us, t0 + 2s);
    EXPECT_EQ(control.Figures().alarms, 2u);
}

TEST(DncControlTest, StarvationCountsOnlyWhileThePcOwesTheControlBytes)
{
    MachineConfig config = SmallControl();
    Recorder out;
    DncControl control(config, out);
    // Before the tape starts (a PC waiting for cycle start): no starvation.
    control.Arrive(maroka::text::kDc2, t0, t0 - 1ms);
    control.Arrive('%', t0 + 5s, t0 + 5s - 1ms);
    EXPECT_EQ(control.StarvedUntil(t0 + 5s), 0s);

    // In the program a gap of the PC counts, from when the control wanted
    // the next byte (5 s + 2 ms) to its arrival, and a spell still going on
    // counts up to now.
    control.Arrive('G', t0 + 5s + 102ms, t0 + 5s + 101ms);
    EXPECT_EQ(control.StarvedUntil(t0 + 5s + 102ms), 100ms);
    control.RunUntil(t0 + 5s + 204ms);
    EXPECT_EQ(control.StarvedUntil(t0 + 5s + 204ms), 200ms);
    control.Arrive('%', t0 + 6s, t0 + 6s - 1ms);
    EXPECT_EQ(control.StarvedUntil(t0 + 6s), 996ms);
    // A finished program waits for nothing.
    control.RunUntil(t0 + 7s);
    EXPECT_FALSE(out.inProgram);
    EXPECT_EQ(control.StarvedUntil(t0 + 60s), 996ms);
}

TEST(DncControlTest, OutsideAProgramAWireSlowerThanTheControlStarvesIt)
{
    MachineConfig config = SmallControl();
    config.execCharsPerSecond = 5000; // 0.2 ms a character, the wire takes 1 ms
    Recorder out;
    DncControl control(config, out);
    const Clock::time_point busySince = t0 - 1ms;
    for (int i = 0; i < 4; ++i)
        control.Arrive('N', t0 + i * 1ms, busySince);
    // The first byte of the burst is the wire's own latency; behind it the
    // control waited 0.8 ms for each of the three others.
    EXPECT_EQ(control.StarvedUntil(t0 + 3ms), 2400us);
}
