#pragma once

// Shared pieces of the serial line tests: a line opened on a pty with the
// settings the transfers use, and system calls that fail on purpose.

#include "core/serial/PosixSerialLine.h"
#include "support/PtyPair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace maroka::serial::test {

using namespace std::chrono_literals;

// 8N1 ASC line that obeys the machine's XON/XOFF; no kernel IXOFF, so that
// no XOFF of ours mixes into what the master reads. The line is paced at its
// speed even on a pty, so tests that are not about speed use a fast one.
inline LineSettings AscLine(std::uint8_t xoff = kXoff13, std::uint32_t baud = 115200)
{
    LineSettings s;
    s.BaudRate = baud;
    s.fOutX = true;
    s.fNull = true;
    s.XoffChar = xoff;
    s.EvtChar = kXon;
    return s;
}

// A line that passes every byte value: no XON/XOFF of ours, no NUL removal.
inline LineSettings TransparentLine(std::uint32_t baud = 115200)
{
    LineSettings s = AscLine(kXoff13, baud);
    s.fOutX = false;
    s.fNull = false;
    return s;
}

// A line just opened (`opened` as Open gives it), set up as the transfer
// loops get their line; null when it did not open.
template <typename Opened> auto SetUpLine(Opened opened, const LineSettings& settings)
{
    EXPECT_TRUE(opened.line) << opened.error;
    if (opened.line) {
        EXPECT_TRUE(opened.line->SetState(settings)) << opened.line->LastError();
    }
    return std::move(opened.line);
}

// A pty's slave end opened and set up as the transfer loops get their line.
inline std::unique_ptr<PosixSerialLine> OpenLine(const maroka::test::PtyPair& pty, const LineSettings& settings,
                                                 SystemCalls& sys = SystemCalls::Real())
{
    return SetUpLine(PosixSerialLine::Open(pty.SlavePath(), sys), settings);
}

// `size` bytes that take every value, in an order that is not a plain ramp.
inline std::string AllBytes(std::size_t size)
{
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return data;
}

// Reads from the line until `count` bytes came, a wait fails or `limit` passed.
inline std::string ReadFromLine(SerialLine& line, std::size_t count, std::chrono::milliseconds limit = 5s)
{
    std::string got;
    char buffer[4096];
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        if (line.WaitReadable(100) != IoStatus::Ok)
            break;
        const IoResult r = line.ReadAvailable(buffer, sizeof buffer);
        if (r.status != IoStatus::Ok)
            break;
        got.append(buffer, r.count);
    }
    return got;
}

// Does `action` after `delay` on another thread, joined when the result goes.
inline std::jthread After(std::chrono::milliseconds delay, std::function<void()> action)
{
    return std::jthread([delay, action = std::move(action)] {
        std::this_thread::sleep_for(delay);
        action();
    });
}

// Real calls with faults on demand: EIO once `writeBudget` bytes have been
// written, writes cut to `maxWrite` bytes, EINTR before every other call, an
// output queue that does not move.
class FaultySystemCalls : public SystemCalls {
public:
    std::atomic<long> writeBudget{-1};
    std::atomic<std::size_t> maxWrite{0};
    std::atomic<bool> interruptEveryOther{false};
    std::atomic<std::size_t> written{0};
    std::atomic<std::size_t> largestWrite{0};
    // When not negative, what TIOCOUTQ reports (a pty always says 0).
    std::atomic<int> outputQueue{-1};
    // Set when a read hands the line the byte `watchByte`.
    std::atomic<int> watchByte{-1};
    std::atomic<bool> sawWatchedByte{false};

    ssize_t Read(int fd, void* buffer, std::size_t size) override
    {
        if (Interrupt())
            return -1;
        const ssize_t n = SystemCalls::Read(fd, buffer, size);
        const int watched = watchByte.load();
        if (n > 0 && watched >= 0 && std::memchr(buffer, watched, static_cast<std::size_t>(n)) != nullptr)
            sawWatchedByte = true;
        return n;
    }

    ssize_t Write(int fd, const void* data, std::size_t size) override
    {
        if (Interrupt())
            return -1;
        const long budget = writeBudget.load();
        if (budget == 0) {
            errno = EIO;
            return -1;
        }
        if (budget > 0)
            size = std::min(size, static_cast<std::size_t>(budget));
        if (maxWrite.load() != 0)
            size = std::min(size, maxWrite.load());
        const ssize_t n = SystemCalls::Write(fd, data, size);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            largestWrite = std::max(largestWrite.load(), static_cast<std::size_t>(n));
            if (budget > 0)
                writeBudget -= n;
        }
        return n;
    }

    int Ioctl(int fd, unsigned long request, void* argument) override
    {
        if (request == TIOCOUTQ && outputQueue.load() >= 0) {
            *static_cast<int*>(argument) = outputQueue.load();
            return 0;
        }
        return SystemCalls::Ioctl(fd, request, argument);
    }

    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override
    {
        return Interrupt() ? -1 : SystemCalls::Poll(fds, count, timeoutMs);
    }

private:
    bool Interrupt()
    {
        if (!interruptEveryOther.load() || (flip_++ & 1U) != 0)
            return false;
        errno = EINTR;
        return true;
    }

    std::atomic<unsigned> flip_{0};
};

// A line on a pty, opened through `sys` (real calls until a test asks for
// faults) with the ASC settings.
class PtyLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        line = OpenLine(pty, AscLine(), sys);
        ASSERT_TRUE(line);
    }

    // The machine's XOFF, once the line has seen it.
    void HoldOutput()
    {
        pty.WriteMaster("\x13");
        const auto deadline = std::chrono::steady_clock::now() + 1s;
        while (!line->OutputStopped() && std::chrono::steady_clock::now() < deadline)
            line->WaitReadable(10);
        ASSERT_TRUE(line->OutputStopped());
    }

    FaultySystemCalls sys;
    maroka::test::PtyPair pty;
    std::unique_ptr<PosixSerialLine> line;
};

} // namespace maroka::serial::test
