#pragma once

// The cable from the PC to the control. A pseudo-terminal hands the machine
// whatever the PC wrote at once; a wire carries one character per character
// time. So the machine asks the wire how many of the bytes waiting in the
// pseudo-terminal have arrived by now and takes only those: what the PC wrote
// ahead of the line arrives later, also after an XOFF, as on a real cable.
//
// The wire starts carrying when it first sees bytes waiting while idle, and
// then carries without a gap for as long as bytes keep waiting. A late look
// gets the bytes carried meanwhile, never more. The one thing a look cannot
// know is when bytes behind a backlog were written; they are taken to follow
// the backlog without a gap, which the machine keeps honest by looking again
// before the known backlog runs out.

#include "machine/lib/MachineClock.h"

#include <cstddef>
#include <vector>

namespace maroka::machine {

class IncomingWire {
public:
    explicit IncomingWire(Clock::duration charTime);

    // How many of the `waiting` bytes have arrived by `now`.
    std::size_t Look(Clock::time_point now, std::size_t waiting);
    // After a look: `taken` bytes were read, `left` still wait. Appends the
    // time each taken byte's last bit arrived.
    void Took(std::size_t taken, std::size_t left, std::vector<Clock::time_point>& arrivals);

    // Bytes are waiting in the pseudo-terminal, on their way.
    bool Busy() const { return waiting_ > 0; }
    std::size_t Waiting() const { return waiting_; }
    // When the next byte's last bit arrives (while busy).
    Clock::time_point NextArrival() const { return lastEnd_ + charTime_; }
    // Since when the wire has carried without a gap (while busy).
    Clock::time_point BusySince() const { return busySince_; }

private:
    Clock::duration charTime_;
    Clock::time_point lastEnd_{};
    Clock::time_point busySince_{};
    std::size_t waiting_ = 0;
};

} // namespace maroka::machine
