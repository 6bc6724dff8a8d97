#pragma once

// The clock of the simulated machine and the length of one character on a
// line of a given pace.

#include <chrono>

namespace maroka::machine {

using Clock = std::chrono::steady_clock;

inline Clock::duration CharacterTime(double charsPerSecond)
{
    auto time = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / charsPerSecond));
    return time > Clock::duration::zero() ? time : Clock::duration(1);
}

inline double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

} // namespace maroka::machine
