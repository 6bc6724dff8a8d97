#pragma once

// Shared pieces of the serial line tests: a line opened on a pty with the
// settings the transfers use, and system calls that fail on purpose.

#include "core/serial/PosixSerialLine.h"
#include "support/PtyPair.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>

namespace maroka::serial::test {

// 8N1 ASC line that obeys the machine's XON/XOFF; no kernel IXOFF, so that
// no XOFF of ours mixes into what the master reads. The line is paced at its
// speed even on a pty, so tests that are not about speed use a fast one.
inline serial::LineSettings AscLine(std::uint8_t xoff = serial::kXoff13, std::uint32_t baud = 115200)
{
    serial::LineSettings s;
    s.BaudRate = baud;
    s.ByteSize = 8;
    s.Parity = serial::kNoParity;
    s.StopBits = serial::kOneStopBit;
    s.fOutX = true;
    s.fInX = false;
    s.fNull = true;
    s.XonChar = serial::kXon;
    s.XoffChar = xoff;
    s.EvtChar = serial::kXon;
    return s;
}

inline std::unique_ptr<serial::PosixSerialLine> OpenLine(const maroka::test::PtyPair& pty,
                                                         const serial::LineSettings& settings,
                                                         serial::SystemCalls& sys = serial::SystemCalls::Real())
{
    auto opened = serial::PosixSerialLine::Open(pty.SlavePath(), sys);
    EXPECT_TRUE(opened.line) << opened.error;
    if (opened.line) {
        EXPECT_TRUE(opened.line->SetState(settings)) << opened.line->LastError();
    }
    return std::move(opened.line);
}

// `size` bytes that take every value, in an order that is not a plain ramp.
inline std::string AllBytes(std::size_t size)
{
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return data;
}

// Real calls with faults on demand: EIO once `writeBudget` bytes have been
// written, writes cut to `maxWrite` bytes, EINTR before every other call, an
// output queue that does not move.
class FaultySystemCalls : public serial::SystemCalls {
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
        const ssize_t n = serial::SystemCalls::Read(fd, buffer, size);
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
        if (budget > 0 && size > static_cast<std::size_t>(budget))
            size = static_cast<std::size_t>(budget);
        if (maxWrite.load() != 0 && size > maxWrite.load())
            size = maxWrite.load();
        const ssize_t n = serial::SystemCalls::Write(fd, data, size);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            if (static_cast<std::size_t>(n) > largestWrite.load())
                largestWrite = static_cast<std::size_t>(n);
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
        return serial::SystemCalls::Ioctl(fd, request, argument);
    }

    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override
    {
        if (Interrupt())
            return -1;
        return serial::SystemCalls::Poll(fds, count, timeoutMs);
    }

private:
    bool Interrupt()
    {
        if (!interruptEveryOther.load())
            return false;
        if ((flip_++ & 1U) == 0) {
            errno = EINTR;
            return true;
        }
        return false;
    }

    std::atomic<unsigned> flip_{0};
};

} // namespace maroka::serial::test
