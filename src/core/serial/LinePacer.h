#pragma once

// Keeps a sender from running ahead of the wire.
//
// A pseudo-terminal, a TCP device server and the chip buffer of a USB adapter
// all take bytes far faster than the line carries them, and none of them says
// how much it holds. Whatever we hand over ahead of the wire still reaches the
// machine after its XOFF, so the only bound on that overshoot is to hand over
// no more than the wire can have carried. The pacer keeps a model of the wire:
// the time at which the last byte handed over will have left it. A write may
// go out while that time is at most one slice ahead of now.
//
// - The pace is a little under the nominal rate (kPaceMargin), so that our
//   clock and the UART's, which never agree exactly, cannot build a backlog.
// - Time the sender did not use is lost: after a late wake-up, or an XOFF,
//   the wire model restarts from now, and never more than one slice goes out.
// - A slice is at most kSliceTime of line time and at least one character.

#include "core/serial/LineSettings.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace maroka::serial {

// Bits one character takes on the wire: start, data, parity and stop bits
// (1.5 stop bits count as 2). 7E2 is 11, 8N1 is 10.
int BitsPerCharacter(const LineSettings& settings);

// A wait in whole milliseconds (for poll), rounded up so that it never wakes
// too early.
inline int CeilMilliseconds(std::chrono::nanoseconds wait)
{
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

// Whole milliseconds left until `deadline` (0 once it has passed), for poll.
inline int MillisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1'000'000'000));
}

class LinePacer {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::microseconds kSliceTime{5000};
    static constexpr double kPaceMargin = 1.01;

    // A pacer for `baudRate` baud at `bitsPerCharacter`; a rate of 0 is taken
    // as 9600 so that a line nobody has set up is still paced.
    LinePacer(std::uint32_t baudRate = 9600, int bitsPerCharacter = 10);

    // Line time of one character, margin included.
    std::chrono::nanoseconds CharacterTime() const { return characterTime_; }
    // The most bytes one write may hand over.
    std::size_t SliceBytes() const { return sliceBytes_; }

    // Bytes that may be handed over at `now` (0 up to SliceBytes()).
    std::size_t Allowance(Clock::time_point now) const;
    // How long from `now` until a write is worth making: until half a slice
    // of room has opened (or one character where a slice is one character).
    std::chrono::nanoseconds WaitBeforeNextWrite(Clock::time_point now) const;
    // `bytes` were handed over at `now`.
    void Sent(std::size_t bytes, Clock::time_point now);
    // When the wire will have carried everything handed over so far.
    Clock::time_point WireIdleAt() const { return wireIdleAt_; }
    // Output was thrown away (purge): nothing is on the wire any more.
    void Forget() { wireIdleAt_ = Clock::time_point{}; }

private:
    std::chrono::nanoseconds Ahead(Clock::time_point now) const;

    std::chrono::nanoseconds characterTime_;
    std::chrono::nanoseconds sliceTime_;
    std::size_t sliceBytes_;
    Clock::time_point wireIdleAt_{};
};

} // namespace maroka::serial
