#pragma once

// A transfer clock that only moves when the loop waits on it: a countdown
// of seconds runs at once, and each wait is recorded. A wait for input looks
// at the line without blocking and moves the clock by its whole timeout.

#include "core/transfer/TransferClock.h"

#include <atomic>

namespace maroka::test {

class ManualClock final : public transfer::TransferClock {
public:
    std::chrono::milliseconds Now() override { return std::chrono::milliseconds(now_.load()); }
    bool Wait(transfer::TransferFlags& flags, std::chrono::milliseconds duration) override
    {
        if (flags.StopOrClosing())
            return false;
        now_ += duration.count();
        waited_ += duration.count();
        return true;
    }
    serial::IoStatus WaitForInput(serial::SerialLine& line, std::chrono::milliseconds timeout) override
    {
        // Only what is already there counts: the silence passes in this
        // clock's time, not the test's.
        const serial::IoStatus status = line.WaitReadable(0);
        now_ += timeout.count();
        return status;
    }
    std::chrono::milliseconds Waited() const { return std::chrono::milliseconds(waited_.load()); }

private:
    std::atomic<long long> now_{1'000'000};
    std::atomic<long long> waited_{0};
};

} // namespace maroka::test
