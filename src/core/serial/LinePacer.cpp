#include "core/serial/LinePacer.h"

#include <algorithm>

namespace maroka::serial {

int BitsPerCharacter(const LineSettings& settings)
{
    const int parity = settings.Parity != kNoParity ? 1 : 0;
    const int stop = settings.StopBits != kOneStopBit ? 2 : 1;
    return 1 + settings.ByteSize + parity + stop;
}

LinePacer::LinePacer(std::uint32_t baudRate, int bitsPerCharacter)
{
    const double baud = baudRate != 0 ? baudRate : 9600.0;
    const double bits = std::max(bitsPerCharacter, 1);
    characterTime_ = std::chrono::nanoseconds(static_cast<long long>(bits / baud * kPaceMargin * 1e9));
    sliceBytes_ = std::max<std::size_t>(1, static_cast<std::size_t>(kSliceTime / characterTime_));
    sliceTime_ = std::max<std::chrono::nanoseconds>(kSliceTime, characterTime_);
}

std::chrono::nanoseconds LinePacer::Ahead(Clock::time_point now) const
{
    return std::max<std::chrono::nanoseconds>(wireIdleAt_ - now, std::chrono::nanoseconds::zero());
}

std::size_t LinePacer::Allowance(Clock::time_point now) const
{
    const auto room = sliceTime_ - Ahead(now);
    if (room < characterTime_)
        return 0;
    return std::min(sliceBytes_, static_cast<std::size_t>(room / characterTime_));
}

std::chrono::nanoseconds LinePacer::WaitBeforeNextWrite(Clock::time_point now) const
{
    // Waking for every character would cost a system call per byte at
    // 115200 baud; half a slice of room keeps the wire fed with few wake-ups.
    const auto wanted = std::max(characterTime_, sliceTime_ / 2);
    const auto room = sliceTime_ - Ahead(now);
    return std::max<std::chrono::nanoseconds>(wanted - room, std::chrono::nanoseconds::zero());
}

void LinePacer::Sent(std::size_t bytes, Clock::time_point now)
{
    wireIdleAt_ = std::max(wireIdleAt_, now) + characterTime_ * static_cast<long long>(bytes);
}

} // namespace maroka::serial
