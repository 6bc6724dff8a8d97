#pragma once

// The time the transfer loops keep: the delay before a pass, the wait after
// each chunk, the cycle time, the exit countdowns and the silence that ends
// a reception. The program runs on the steady clock; tests hand in a clock
// of their own so that these run in test time.

#include "core/serial/SerialLine.h"
#include "core/transfer/TransferFlags.h"

#include <chrono>

namespace maroka::transfer {

class TransferClock {
public:
    virtual ~TransferClock() = default;

    // Time since an arbitrary start; never goes back.
    virtual std::chrono::milliseconds Now() = 0;
    // Waits `duration` unless a stop or close is (or becomes) requested;
    // true when the whole time passed.
    virtual bool Wait(TransferFlags& flags, std::chrono::milliseconds duration) = 0;
    // Waits up to `timeout` for input on `line` (or its Interrupt()), as
    // SerialLine::WaitReadable does. The steady clock waits on the line; a
    // test clock lets its own time pass by `timeout` as well, so that a wait
    // for the line to fall silent is counted in its time.
    virtual serial::IoStatus WaitForInput(serial::SerialLine& line, std::chrono::milliseconds timeout) = 0;

    // The steady clock, waiting on the flags.
    static TransferClock& Steady();
};

} // namespace maroka::transfer
