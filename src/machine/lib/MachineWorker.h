#pragma once

// The thread of the simulated machine: one loop over the line, in named
// steps.
//
//   Receive   takes off the pseudo-terminal what the wire has carried by now
//             and hands each byte on at the time it arrived;
//   Consume   executes the DNC buffer at the control's pace (DncControl);
//   Transmit  puts our bytes on the outgoing wire: control bytes (XOFF, XON,
//             cycle start) first, then the punch, one character time each;
//   Timers    ends stalled tapes and presses cycle start after a punch.
//
// Received bytes: while a punch is queued or running, DC1 and DC3 (0x13 or
// 0x93) from the PC are its flow control and DC1/DC2 its start code; every
// other byte goes to the receive side. In memory mode that reads it into the
// tape reader at once; in DNC mode it enters the control's buffer.
//
// The loop sleeps in ppoll until the next event is due, the line has input
// (while the wire is idle) or room, or a request arrives; never in a spin.

#include "machine/lib/DncControl.h"
#include "machine/lib/IncomingWire.h"
#include "machine/lib/MachineShared.h"
#include "machine/lib/TapeReader.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace maroka::machine {

class MachineWorker : private ControlOutput {
public:
    MachineWorker(const MachineConfig& config, int lineFd, int wakeFd, int notifyFd, MachineShared& shared);
    void Run();

private:
    enum class OutKind {
        Plain,
        CycleStart,
        Xoff,
    };
    struct OutByte {
        unsigned char byte;
        Clock::time_point at;
        OutKind kind;
    };

    bool TakeRequests(Clock::time_point now);
    bool Receive(Clock::time_point now);
    void Arrive(unsigned char byte, Clock::time_point at);
    void Consume(Clock::time_point until);
    void Transmit(Clock::time_point until);
    void Timers(Clock::time_point now);
    bool Flush(Clock::time_point now);
    void Publish(bool force, Clock::time_point now);
    bool Sleep(Clock::time_point now);
    std::optional<Clock::time_point> NextDue() const;

    void ActivateNextJob(Clock::time_point now);
    void StartPunchWhenAllowed();
    bool PunchReady() const;
    void FinishPunch(Clock::time_point at);
    std::optional<Clock::time_point> NextTransmitStart() const;
    void Queue(unsigned char byte, Clock::time_point at, OutKind kind);
    void FeedTape(unsigned char byte, Clock::time_point at);
    void Fail(const std::string& what);

    void Execute(unsigned char byte, Clock::time_point at) override;
    void SendFlow(unsigned char byte, Clock::time_point at) override;
    bool InProgram() const override { return tape_.InProgram(); }

    const MachineConfig& config_;
    const bool dnc_;
    const int fd_;
    const int wakeFd_;
    const int notifyFd_;
    MachineShared& shared_;

    TapeReader tape_;
    std::chrono::milliseconds silence_;
    Clock::time_point lastTapeByte_{};

    IncomingWire wire_;
    bool inputSignalled_ = false; // the last sleep ended with the line readable
    bool idleReadable_ = false;   // ... but nothing was waiting: look by the clock instead
    DncControl control_;
    std::optional<Clock::time_point> xoffReachedPcAt_;
    std::size_t afterXoff_ = 0;

    // The outgoing wire.
    const Clock::duration outChar_;
    Clock::time_point lineFree_{};
    std::deque<OutByte> urgent_;
    std::string unwritten_;                       // on the wire already, not yet taken by the pseudo-terminal
    std::uint64_t transmitted_ = 0;               // bytes put on the wire so far
    std::uint64_t written_ = 0;                   // of those, taken by the pseudo-terminal
    std::deque<std::uint64_t> cycleStartNumbers_; // which of the transmitted bytes are cycle starts
    bool punchHeld_ = false;                      // the PC does not read: the punch waits for room

    // Punches.
    std::deque<PunchJob> jobs_;
    bool jobActive_ = false;
    PunchJob job_;
    std::string stream_;
    std::size_t streamPos_ = 0;
    bool punchStarted_ = false;
    std::optional<Clock::time_point> startCodeAt_;
    bool pausedByPc_ = false;
    Clock::time_point startAt_{};
    Clock::time_point punchReadyAt_{};
    std::optional<Clock::time_point> cycleStartAt_;

    // Gathered between two publications.
    MachineReport report_;
    std::string newReceived_;
    std::string newConsumed_;
    std::string newSent_;
    bool dirty_ = false;
    std::string input_;
    std::vector<Clock::time_point> arrivals_;
};

} // namespace maroka::machine
