#include "core/transfer/TransferClock.h"

namespace maroka::transfer {

namespace {

class SteadyClock final : public TransferClock {
public:
    std::chrono::milliseconds Now() override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    bool Wait(TransferFlags& flags, std::chrono::milliseconds duration) override
    {
        return flags.SleepUnlessStopped(duration);
    }
    serial::IoStatus WaitForInput(serial::SerialLine& line, std::chrono::milliseconds timeout) override
    {
        return line.WaitReadable(static_cast<int>(timeout.count()));
    }
};

} // namespace

TransferClock& TransferClock::Steady()
{
    static SteadyClock clock;
    return clock;
}

} // namespace maroka::transfer
