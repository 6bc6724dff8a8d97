#pragma once

// A transfer clock that only moves when the loop waits on it: a countdown
// of seconds runs at once, and each wait is recorded.

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
    std::chrono::milliseconds Waited() const { return std::chrono::milliseconds(waited_.load()); }

private:
    std::atomic<long long> now_{1'000'000};
    std::atomic<long long> waited_{0};
};

} // namespace maroka::test
