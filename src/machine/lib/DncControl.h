#pragma once

// The buffer of a control in DNC mode and the execution that drains it.
//
// Bytes come off the wire into the buffer; the control executes them at its
// own pace. XOFF goes out when the buffer reaches the high-water mark, XON
// when execution has brought it down to low water. A byte that finds the
// buffer full is lost and raises an overflow alarm; the alarm lasts until the
// buffer is back at low water, so one burst is one alarm.
//
// Starvation is the time the control stood waiting with an empty buffer
// while the PC still had bytes for it: while a program was running (its
// opening "%" executed, its end not yet), or, outside a program, while the
// wire was carrying bytes behind the first of a burst. A finished program, or
// a PC that holds back before the tape starts (the wait for cycle start), is
// no starvation.
//
// Everything is driven by event times, fed in order: a machine thread that
// wakes late still fills and drains the buffer exactly as the wire and the
// execution clock had it.

#include "machine/lib/MachineClock.h"
#include "machine/lib/MachineConfig.h"

#include <cstddef>
#include <deque>
#include <optional>

namespace maroka::machine {

// Where the control's actions go.
class ControlOutput {
public:
    virtual ~ControlOutput() = default;
    virtual void Execute(unsigned char byte, Clock::time_point at) = 0;
    virtual void SendFlow(unsigned char byte, Clock::time_point at) = 0;
    // A program is running: its opening "%" was executed, its end not yet.
    virtual bool InProgram() const = 0;
};

struct ControlFigures {
    std::size_t executed = 0;
    std::size_t maxFill = 0;
    std::size_t alarms = 0;
    std::size_t lostBytes = 0;
    std::size_t xoffSent = 0;
    std::size_t xonSent = 0;
    Clock::duration starved{};
    std::optional<Clock::time_point> firstArrival;
    std::optional<Clock::time_point> lastExecution;
};

class DncControl {
public:
    DncControl(const MachineConfig& config, ControlOutput& output);

    // A byte whose last bit arrived at `at`; the wire has carried without a
    // gap since `wireBusySince`. Executes what was due before it first.
    void Arrive(unsigned char byte, Clock::time_point at, Clock::time_point wireBusySince);
    // Executes every byte due by `until`.
    void RunUntil(Clock::time_point until);

    std::size_t Fill() const { return buffer_.size(); }
    Clock::time_point NextExecution() const { return nextExecution_; }
    bool Overflowed() const { return figures_.alarms > 0; }
    const ControlFigures& Figures() const { return figures_; }
    // Starvation up to `now`, a spell still going on included.
    Clock::duration StarvedUntil(Clock::time_point now) const;

private:
    const MachineConfig& config_;
    ControlOutput& output_;
    Clock::duration lineTime_;
    Clock::duration execTime_;
    std::deque<unsigned char> buffer_;
    Clock::time_point nextExecution_{};
    bool flowStopped_ = false; // our XOFF is out
    bool overflowing_ = false;
    ControlFigures figures_;
};

} // namespace maroka::machine
