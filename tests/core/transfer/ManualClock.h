#pragma once

// A transfer clock that only moves when the loop waits on it: a countdown
// of seconds runs at once, and each wait is recorded. Waits for input (the
// silence that ends a reception) pass as the test sets.

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
    // How a wait for input passes.
    enum class Silence {
        Instant, // only input already there counts; the clock moves by the whole timeout
        Real,    // the wait takes real time and the clock moves by it
        Held,    // the wait takes real time and the clock stands still
    };
    void SetSilence(Silence silence) { silence_ = silence; }

    serial::IoStatus WaitForInput(serial::SerialLine& line, std::chrono::milliseconds timeout) override
    {
        switch (silence_.load()) {
        case Silence::Held:
            return line.WaitReadable(static_cast<int>(timeout.count()));
        case Silence::Real: {
            const auto start = std::chrono::steady_clock::now();
            const serial::IoStatus status = line.WaitReadable(static_cast<int>(timeout.count()));
            now_ +=
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
            return status;
        }
        case Silence::Instant:
            break;
        }
        const serial::IoStatus status = line.WaitReadable(0);
        now_ += timeout.count();
        return status;
    }
    std::chrono::milliseconds Waited() const { return std::chrono::milliseconds(waited_.load()); }

private:
    std::atomic<long long> now_{1'000'000};
    std::atomic<long long> waited_{0};
    std::atomic<Silence> silence_{Silence::Instant};
};

} // namespace maroka::test
