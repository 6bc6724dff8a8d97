#include "SerialTestSupport.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace maroka::serial {
namespace {

using namespace std::chrono_literals;
using maroka::test::PtyPair;
using test::AllBytes;
using test::AscLine;
using test::FaultySystemCalls;
using test::OpenLine;

std::chrono::nanoseconds ThreadCpuTime()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// The far side reads 64 KB and holds it up with XOFF now and then (its
// kernel does nothing with XON/XOFF: the master is raw). After each XOFF only
// what the line had already handed to the driver may still come: the count
// of what reached the driver is taken through the system-call seam.
TEST(SerialFlowControl, XoffStopsAWriteWithinItsBoundAndXonResumesIt)
{
    PtyPair pty;
    FaultySystemCalls counting; // real calls; counts what reaches the driver
    auto line = OpenLine(pty, AscLine(), counting);
    ASSERT_TRUE(line);
    counting.watchByte = 0x13;

    const std::string data = AllBytes(64 * 1024);
    serial::IoResult result;
    std::thread writer([&] { result = line->Write(data.data(), data.size()); });

    const std::size_t bound = LinePacer(AscLine().BaudRate, 10).SliceBytes();
    std::string got;
    got.reserve(data.size());
    // Bytes that arrived although the line had them only after it could read
    // the XOFF; the second figure counts from just before the XOFF was sent.
    std::size_t worstAfterXoff = 0;
    std::size_t worstFromSnapshot = 0;
    int stops = 0;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    char buffer[8192];
    while (got.size() < data.size() && std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = read(pty.Master(), buffer, sizeof buffer);
        if (n > 0) {
            got.append(buffer, static_cast<std::size_t>(n));
        } else {
            pollfd p{pty.Master(), POLLIN, 0};
            poll(&p, 1, 10);
        }

        if (stops < 8 && got.size() >= static_cast<std::size_t>(stops + 1) * 7'000) {
            const std::size_t beforeXoff = counting.written.load();
            counting.sawWatchedByte = false;
            pty.WriteMaster("\x13");
            // The XOFF crosses the pty through a kernel worker; count from
            // the moment the line could read it (or did).
            for (int i = 0; i < 1000 && !counting.sawWatchedByte; ++i) {
                pollfd p{pty.HeldSlave(), POLLIN, 0};
                if (poll(&p, 1, 1) > 0)
                    break;
            }
            const std::size_t atXoff = counting.written.load();
            // Whatever is still coming arrives within this quiet time; the
            // pty holds about 12 KB between its ends, all of it from before.
            got += pty.ReadMasterUntilQuiet(200ms);
            EXPECT_EQ(got.size(), counting.written.load()) << "all that was handed over has arrived";
            worstAfterXoff = std::max(worstAfterXoff, got.size() - atXoff);
            worstFromSnapshot = std::max(worstFromSnapshot, got.size() - beforeXoff);
            // Held: nothing at all while the XOFF stands.
            const std::string leak = pty.ReadMaster(1, 300ms);
            EXPECT_TRUE(leak.empty()) << "the line sent on during XOFF";
            got += leak;
            pty.WriteMaster("\x11");
            ++stops;
        }
    }
    writer.join();

    EXPECT_EQ(result.status, serial::IoStatus::Ok);
    EXPECT_EQ(result.count, data.size());
    EXPECT_EQ(stops, 8);
    ASSERT_EQ(got.size(), data.size());
    EXPECT_TRUE(got == data) << "bytes lost, doubled or reordered";
    EXPECT_LE(worstAfterXoff, bound) << worstFromSnapshot << " counted from just before the XOFF";
}

TEST(SerialFlowControl, AWriteHeldByXoffSleepsAndInterruptEndsItAtOnce)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine(serial::kXoff93));
    ASSERT_TRUE(line);
    pty.WriteMaster("\x93");

    const std::string data = AllBytes(4096);
    serial::IoResult result;
    std::chrono::nanoseconds cpu{};
    std::chrono::steady_clock::time_point returned;
    const auto start = std::chrono::steady_clock::now();
    std::thread writer([&] {
        const auto cpuStart = ThreadCpuTime();
        result = line->Write(data.data(), data.size());
        cpu = ThreadCpuTime() - cpuStart;
        returned = std::chrono::steady_clock::now();
    });
    std::this_thread::sleep_for(2s);
    const auto interruptedAt = std::chrono::steady_clock::now();
    line->Interrupt();
    writer.join();

    EXPECT_EQ(result.status, serial::IoStatus::Interrupted);
    EXPECT_EQ(result.count, 0U) << "the XOFF came before the first byte";
    EXPECT_TRUE(pty.ReadMaster(1, 100ms).empty());
    const auto wall = returned - start;
    const auto latency = std::chrono::duration_cast<std::chrono::microseconds>(returned - interruptedAt);
    EXPECT_LT(cpu * 20, wall) << "more than 5% of a core while held";
    // "At once" with room for a loaded machine and the sanitizers; a write
    // that missed the wake-up would stay held for good.
    EXPECT_LT(latency, 500ms);

    // After the wake-up is cleared, the machine's XON lets the data go.
    line->ClearInterrupt();
    pty.WriteMaster("\x11");
    std::thread resumed([&] { result = line->Write(data.data(), data.size()); });
    EXPECT_EQ(pty.ReadMaster(data.size(), 5s), data);
    resumed.join();
    EXPECT_EQ(result.status, serial::IoStatus::Ok);
}

// A UART's driver reports its queue; a pty cannot, so the seam plays one
// that CTS holds up.
TEST(SerialFlowControl, AFullOutputQueueHoldsFurtherSlices)
{
    PtyPair pty;
    FaultySystemCalls sys;
    auto line = OpenLine(pty, AscLine(), sys);
    ASSERT_TRUE(line);
    const std::string data = AllBytes(1000);

    sys.outputQueue = serial::PosixSerialLine::kQueueLowWater;
    serial::IoResult result;
    std::chrono::nanoseconds cpu{};
    const auto start = std::chrono::steady_clock::now();
    std::thread writer([&] {
        const auto cpuStart = ThreadCpuTime();
        result = line->Write(data.data(), data.size());
        cpu = ThreadCpuTime() - cpuStart;
    });
    EXPECT_TRUE(pty.ReadMaster(1, 1s).empty()) << "wrote into a full queue";
    sys.outputQueue = serial::PosixSerialLine::kQueueLowWater - 1;
    EXPECT_EQ(pty.ReadMaster(data.size(), 5s), data);
    writer.join();
    EXPECT_EQ(result.status, serial::IoStatus::Ok);
    EXPECT_LE(sys.largestWrite.load(), LinePacer(AscLine().BaudRate, 10).SliceBytes());
    EXPECT_LT(cpu * 20, std::chrono::steady_clock::now() - start) << "looked at a stuck queue too often";
    sys.outputQueue = -1; // or Close waits for the queue to empty
}

// A pty takes whatever it is given at once; only the pacing keeps the line
// from running ahead of the wire. The far side reads as fast as it can and
// checks, at every read, that no more has arrived than a 2400 8N1 wire can
// have carried since the first byte, plus one slice. The reader's own wake-up
// after the first byte may be late by a few milliseconds on a loaded
// machine: one more character (4 ms) covers that.
TEST(SerialFlowControl, APtyIsFedNoFasterThanTheWireCarries)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine(kXoff13, 2400));
    ASSERT_TRUE(line);
    const LinePacer pacer(2400, 10);
    const std::string data = AllBytes(500);
    serial::IoResult result;
    std::thread writer([&] { result = line->Write(data.data(), data.size()); });

    const double nominalCharSeconds = 10.0 / 2400.0;
    std::string got;
    std::chrono::steady_clock::time_point first;
    std::size_t worstAhead = 0;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (got.size() < data.size() && std::chrono::steady_clock::now() < deadline) {
        const std::string part = pty.ReadMaster(1, 100ms);
        if (part.empty())
            continue;
        if (got.empty())
            first = std::chrono::steady_clock::now();
        got += part + pty.ReadMasterUntilQuiet(0ms);
        const auto now = std::chrono::steady_clock::now();
        const double carried = std::chrono::duration<double>(now - first).count() / nominalCharSeconds + 1;
        if (got.size() > carried)
            worstAhead = std::max(worstAhead, got.size() - static_cast<std::size_t>(carried));
    }
    const auto elapsed = std::chrono::steady_clock::now() - first;
    writer.join();

    EXPECT_EQ(result.status, serial::IoStatus::Ok);
    EXPECT_TRUE(got == data);
    EXPECT_LE(worstAhead, pacer.SliceBytes() + 1) << "ran ahead of the wire";
    // 500 characters at 240 a second: under nominal speed, never over it.
    EXPECT_GE(std::chrono::duration<double>(elapsed).count(), (data.size() - pacer.SliceBytes()) * nominalCharSeconds);
}

// The end of a send waits for the last byte to have left the wire, not only
// the driver's queue, which a pty reports as empty at once.
TEST(SerialFlowControl, DrainWaitsForTheWire)
{
    PtyPair pty;
    auto line = OpenLine(pty, AscLine(kXoff13, 4800));
    ASSERT_TRUE(line);
    const std::string data = AllBytes(200); // 200 characters at 480 a second
    const auto start = std::chrono::steady_clock::now();
    std::thread reader([&] { EXPECT_EQ(pty.ReadMaster(data.size(), 10s), data); });
    ASSERT_EQ(line->Write(data.data(), data.size()).status, serial::IoStatus::Ok);
    ASSERT_EQ(line->Drain(), serial::IoStatus::Ok);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    reader.join();
    EXPECT_GE(seconds, 200 / 480.0);
}

} // namespace
} // namespace maroka::serial
