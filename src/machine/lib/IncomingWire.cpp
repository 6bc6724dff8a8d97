#include "machine/lib/IncomingWire.h"

#include <algorithm>

namespace maroka::machine {

IncomingWire::IncomingWire(Clock::duration charTime) : charTime_(charTime) {}

std::size_t IncomingWire::Look(Clock::time_point now, std::size_t waiting)
{
    if (waiting == 0)
        return 0;
    if (waiting_ == 0) {
        // Bytes on an idle wire were written just now: the first one starts
        // now, or when the last bit of the one before has gone.
        lastEnd_ = std::max(lastEnd_, now);
        busySince_ = lastEnd_;
        waiting_ = waiting;
    }
    if (now < lastEnd_ + charTime_)
        return 0;
    auto carried = static_cast<std::size_t>((now - lastEnd_) / charTime_);
    return std::min(carried, waiting);
}

void IncomingWire::Took(std::size_t taken, std::size_t left, std::vector<Clock::time_point>& arrivals)
{
    for (std::size_t i = 0; i < taken; ++i) {
        lastEnd_ += charTime_;
        arrivals.push_back(lastEnd_);
    }
    waiting_ = left;
}

} // namespace maroka::machine
