#include "machine/lib/DncControl.h"

#include <algorithm>

namespace maroka::machine {

DncControl::DncControl(const MachineConfig& config, ControlOutput& output)
    : config_(config), output_(output), lineTime_(CharacterTime(config.lineCharsPerSecond)),
      execTime_(CharacterTime(ExecCharsPerSecond(config)))
{
}

void DncControl::Arrive(unsigned char byte, Clock::time_point at, Clock::time_point wireBusySince)
{
    RunUntil(at);
    if (!figures_.firstArrival)
        figures_.firstArrival = at;
    if (buffer_.size() >= config_.bufferSize) {
        ++figures_.lostBytes;
        if (!overflowing_) {
            overflowing_ = true;
            ++figures_.alarms;
        }
        return;
    }
    if (buffer_.empty()) {
        // The control has waited for this byte since it could have taken the next one.
        if (figures_.executed > 0 && at > nextExecution_) {
            if (output_.InProgram())
                figures_.starved += at - nextExecution_;
            else if (at > wireBusySince + lineTime_)
                figures_.starved += at - std::max(nextExecution_, wireBusySince + lineTime_);
        }
        nextExecution_ = std::max(nextExecution_, at);
    }
    buffer_.push_back(byte);
    figures_.maxFill = std::max(figures_.maxFill, buffer_.size());
    if (!flowStopped_ && buffer_.size() >= config_.highWater) {
        flowStopped_ = true;
        ++figures_.xoffSent;
        output_.SendFlow(config_.xoffByte, at);
    }
}

void DncControl::RunUntil(Clock::time_point until)
{
    while (!buffer_.empty() && nextExecution_ <= until) {
        const unsigned char byte = buffer_.front();
        buffer_.pop_front();
        const Clock::time_point at = nextExecution_;
        nextExecution_ += execTime_;
        ++figures_.executed;
        figures_.lastExecution = at;
        output_.Execute(byte, at);
        if (buffer_.size() <= config_.lowWater) {
            overflowing_ = false; // recovered: a new overflow is a new alarm
            if (flowStopped_) {
                flowStopped_ = false;
                ++figures_.xonSent;
                output_.SendFlow(config_.xonByte, at);
            }
        }
    }
}

Clock::duration DncControl::StarvedUntil(Clock::time_point now) const
{
    Clock::duration starved = figures_.starved;
    if (buffer_.empty() && figures_.executed > 0 && now > nextExecution_ && output_.InProgram())
        starved += now - nextExecution_;
    return starved;
}

} // namespace maroka::machine
