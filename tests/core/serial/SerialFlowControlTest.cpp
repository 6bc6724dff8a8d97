#include "SerialTestSupport.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <time.h>

#include <algorithm>

namespace maroka::serial {
namespace {

using namespace test; // the helpers, and std::chrono_literals with them
using Clock = std::chrono::steady_clock;

std::chrono::nanoseconds ThreadCpuTime()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// Writes `data` on another thread, noting the processor time it took.
struct TimedWrite {
    TimedWrite(SerialLine& line, const std::string& data)
        : thread([this, &line, &data] {
              const auto cpuStart = ThreadCpuTime();
              result = line.Write(data.data(), data.size());
              cpu = ThreadCpuTime() - cpuStart;
              returned = Clock::now();
          })
    {
    }

    IoResult result;
    std::chrono::nanoseconds cpu{};
    Clock::time_point returned;
    std::jthread thread;
};

// The far side reads 64 KB and holds it up with XOFF now and then (its
// kernel does nothing with XON/XOFF: the master is raw). After each XOFF only
// what the line had already handed to the driver may still come: the count
// of what reached the driver is taken through the system-call seam.
TEST_F(PtyLine, XoffStopsAWriteWithinItsBoundAndXonResumesIt)
{
    sys.watchByte = 0x13;
    const std::string data = AllBytes(64 * 1024);
    TimedWrite writer(*line, data);

    const std::size_t bound = LinePacer(AscLine().BaudRate, 10).SliceBytes();
    std::string got;
    // Bytes that arrived although the line had them only after it could read
    // the XOFF; the second figure counts from just before the XOFF was sent.
    std::size_t worstAfterXoff = 0;
    std::size_t worstFromSnapshot = 0;
    int stops = 0;
    const auto deadline = Clock::now() + 60s;
    while (got.size() < data.size() && Clock::now() < deadline) {
        got += pty.ReadMaster(data.size() - got.size(), 10ms);
        if (stops == 8 || got.size() < static_cast<std::size_t>(stops + 1) * 7'000)
            continue;
        const std::size_t beforeXoff = sys.written.load();
        sys.sawWatchedByte = false;
        pty.WriteMaster("\x13");
        // The XOFF crosses the pty through a kernel worker; count from the
        // moment the line could read it (or did).
        for (int i = 0; i < 1000 && !sys.sawWatchedByte; ++i) {
            pollfd p{pty.HeldSlave(), POLLIN, 0};
            if (poll(&p, 1, 1) > 0)
                break;
        }
        const std::size_t atXoff = sys.written.load();
        // Whatever is still coming arrives within this quiet time; the pty
        // holds about 12 KB between its ends, all of it from before.
        got += pty.ReadMasterUntilQuiet(200ms);
        EXPECT_EQ(got.size(), sys.written.load()) << "all that was handed over has arrived";
        worstAfterXoff = std::max(worstAfterXoff, got.size() - atXoff);
        worstFromSnapshot = std::max(worstFromSnapshot, got.size() - beforeXoff);
        // Held: nothing at all while the XOFF stands.
        const std::string leak = pty.ReadMaster(1, 300ms);
        EXPECT_TRUE(leak.empty()) << "the line sent on during XOFF";
        got += leak;
        pty.WriteMaster("\x11");
        ++stops;
    }
    writer.thread.join();
    EXPECT_EQ(writer.result.status, IoStatus::Ok);
    EXPECT_EQ(writer.result.count, data.size());
    EXPECT_EQ(stops, 8);
    EXPECT_TRUE(got == data) << "bytes lost, doubled or reordered";
    EXPECT_LE(worstAfterXoff, bound) << worstFromSnapshot << " counted from just before the XOFF";
}

TEST_F(PtyLine, AWriteHeldByXoffSleepsAndInterruptEndsItAtOnce)
{
    ASSERT_TRUE(line->SetState(AscLine(kXoff93)));
    pty.WriteMaster("\x93");
    const std::string data = AllBytes(4096);
    const auto start = Clock::now();
    TimedWrite writer(*line, data);
    std::this_thread::sleep_for(2s);
    const auto interruptedAt = Clock::now();
    line->Interrupt();
    writer.thread.join();
    EXPECT_EQ(writer.result.status, IoStatus::Interrupted);
    EXPECT_EQ(writer.result.count, 0U) << "the XOFF came before the first byte";
    EXPECT_TRUE(pty.ReadMaster(1, 100ms).empty());
    EXPECT_LT(writer.cpu * 20, writer.returned - start) << "more than 5% of a core while held";
    // "At once" with room for a loaded machine and the sanitizers; a write
    // that missed the wake-up would stay held for good.
    EXPECT_LT(writer.returned - interruptedAt, 500ms);

    // After the wake-up is cleared, the machine's XON lets the data go.
    line->ClearInterrupt();
    pty.WriteMaster("\x11");
    TimedWrite resumed(*line, data);
    EXPECT_EQ(pty.ReadMaster(data.size(), 5s), data);
    resumed.thread.join();
    EXPECT_EQ(resumed.result.status, IoStatus::Ok);
}

// A UART's driver reports its queue; a pty cannot, so the seam plays one
// that CTS holds up.
TEST_F(PtyLine, AFullOutputQueueHoldsFurtherSlices)
{
    const std::string data = AllBytes(1000);
    sys.outputQueue = PosixSerialLine::kQueueLowWater;
    const auto start = Clock::now();
    TimedWrite writer(*line, data);
    EXPECT_TRUE(pty.ReadMaster(1, 1s).empty()) << "wrote into a full queue";
    sys.outputQueue = PosixSerialLine::kQueueLowWater - 1;
    EXPECT_EQ(pty.ReadMaster(data.size(), 5s), data);
    writer.thread.join();
    EXPECT_EQ(writer.result.status, IoStatus::Ok);
    EXPECT_LE(sys.largestWrite.load(), LinePacer(AscLine().BaudRate, 10).SliceBytes());
    EXPECT_LT(writer.cpu * 20, writer.returned - start) << "looked at a stuck queue too often";
    sys.outputQueue = -1; // or Close waits for the queue to empty
}

// A pty takes whatever it is given at once; only the pacing keeps the line
// from running ahead of the wire. The far side reads as fast as it can and
// checks, at every read, that no more has arrived than a 2400 8N1 wire can
// have carried since the first byte, plus one slice. The reader's own wake-up
// after the first byte may be late by a few milliseconds on a loaded
// machine: one more character (4 ms) covers that.
TEST_F(PtyLine, APtyIsFedNoFasterThanTheWireCarries)
{
    ASSERT_TRUE(line->SetState(AscLine(kXoff13, 2400)));
    const LinePacer pacer(2400, 10);
    const std::string data = AllBytes(500);
    IoResult result;
    std::jthread writer([&] { result = line->Write(data.data(), data.size()); });

    const std::chrono::duration<double> charTime(10.0 / 2400.0);
    std::string got;
    Clock::time_point first;
    std::size_t worstAhead = 0;
    const auto deadline = Clock::now() + 30s;
    while (got.size() < data.size() && Clock::now() < deadline) {
        const std::string part = pty.ReadMaster(1, 100ms);
        if (part.empty())
            continue;
        if (got.empty())
            first = Clock::now();
        got += part + pty.ReadMasterUntilQuiet(0ms);
        const double carried = (Clock::now() - first) / charTime + 1;
        if (got.size() > carried)
            worstAhead = std::max(worstAhead, got.size() - static_cast<std::size_t>(carried));
    }
    const auto elapsed = Clock::now() - first;
    writer.join();

    EXPECT_EQ(result.status, IoStatus::Ok);
    EXPECT_TRUE(got == data);
    EXPECT_LE(worstAhead, pacer.SliceBytes() + 1) << "ran ahead of the wire";
    // 500 characters at 240 a second: under nominal speed, never over it.
    EXPECT_GE(elapsed, (data.size() - pacer.SliceBytes()) * charTime);
}

// The end of a send waits for the last byte to have left the wire, not only
// the driver's queue, which a pty reports as empty at once. At 300 baud a
// write returns one whole character before its last byte is through.
TEST_F(PtyLine, DrainWaitsForTheWire)
{
    ASSERT_TRUE(line->SetState(AscLine(kXoff13, 300)));
    const auto start = Clock::now();
    ASSERT_EQ(line->Write("abc", 3).status, IoStatus::Ok);
    ASSERT_EQ(line->Drain(), IoStatus::Ok);
    EXPECT_GE(Clock::now() - start, 3 * std::chrono::duration<double>(10.0 / 300.0));
    EXPECT_EQ(pty.ReadMaster(3, 1s), "abc");
}

} // namespace
} // namespace maroka::serial
