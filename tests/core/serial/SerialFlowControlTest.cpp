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

// The far side reads a megabyte and holds it up with XOFF now and then (its
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

    const std::string data = AllBytes(1 << 20);
    serial::IoResult result;
    std::thread writer([&] { result = line->Write(data.data(), data.size()); });

    const std::size_t bound = serial::PosixSerialLine::WriteSlice(AscLine().BaudRate) + serial::PosixSerialLine::kQueueLowWater;
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

        if (stops < 8 && got.size() >= static_cast<std::size_t>(stops + 1) * 100'000) {
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
    EXPECT_LE(sys.largestWrite.load(), serial::PosixSerialLine::WriteSlice(9600));
    EXPECT_LT(cpu * 20, std::chrono::steady_clock::now() - start) << "looked at a stuck queue too often";
    EXPECT_EQ(serial::PosixSerialLine::WriteSlice(9600), 16U);
    EXPECT_EQ(serial::PosixSerialLine::WriteSlice(115200), 64U);
    EXPECT_EQ(serial::PosixSerialLine::WriteSlice(38400), 38U);
    sys.outputQueue = -1; // or Close waits for the queue to empty
}

} // namespace
} // namespace maroka::serial
