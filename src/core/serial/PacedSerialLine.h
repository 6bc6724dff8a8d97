#pragma once

// The loops every backend of the line shares: Write, ReadAvailable,
// WaitReadable, Drain, WaitEvent and the wake-up, over a few primitives of
// the backend (a tty, a device server) that say how its device is read,
// written, polled and asked what it still holds.
//
// Output flow control is ours, not the device's (a tty's IXON stays off: many
// USB adapters ignore it and empty their buffers after an XOFF; a device
// server would obey it behind a buffer we cannot see). While writing we read
// the input; an XOFF stops handing bytes to the device at once and an XON
// resumes. Bytes go to the device only while two things hold: it has room (a
// tty's output queue below its low water, a socket that took all it was
// given), and the LinePacer says the wire can have carried all but one slice
// (at most 5 ms of line time) of what was handed over. The second holds where
// the first cannot: a pseudo-terminal, a USB chip's buffer and a device server
// report no queue. So once the machine's XOFF is in our input, what still
// reaches the machine is at most one slice plus what the wire carries while
// the XOFF travels to us. Drain waits for the wire model as well as for the
// device's queue.
//
// Every wait is one poll over the device and the wake-up eventfd, so that
// Interrupt() from any thread ends it at once; a device that hangs up during
// a wait keeps what it sent before, and the callers hand that out first.

#include "core/serial/LineInputFilter.h"
#include "core/serial/LinePacer.h"
#include "core/serial/LineWakeUp.h"
#include "core/serial/SerialLine.h"

#include <poll.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace maroka::serial {

class PacedSerialLine : public SerialLine {
public:
    PacedSerialLine(const PacedSerialLine&) = delete;
    PacedSerialLine& operator=(const PacedSerialLine&) = delete;

    const std::string& Name() const override { return name_; }

    IoStatus WaitEvent(std::uint32_t mask, std::uint32_t& events) override;

    IoResult Write(const char* data, std::size_t size) override;
    IoResult ReadAvailable(char* data, std::size_t size) override;
    IoStatus WaitReadable(int timeoutMs) override;
    IoStatus Drain() override;

    void Interrupt() override;
    void ClearInterrupt() override;

    std::string LastError() const override;

    // True while the machine's XOFF holds our output.
    bool OutputStopped() const { return filter_.OutputStopped(); }

protected:
    // `wakeFd` is a non-blocking eventfd the line takes over.
    PacedSerialLine(std::string name, int wakeFd);

    // What one hand-over to the device did.
    struct Handed {
        std::size_t count = 0; // bytes the device took
        IoStatus status = IoStatus::Ok;
    };

    // What the device still holds of the output handed to it.
    struct HeldOutput {
        enum class State {
            Nothing,
            Some,
            Unknown, // the device cannot say: Drain is done
            Failed,  // the error is set
        };
        State state = State::Nothing;
        int waitMs = 0; // for Some: when to look again
    };

    // --- The backend's primitives ---

    // False, with the error set, unless the line can carry output now.
    virtual bool CheckOutput() = 0;
    // False, with the error set, unless its input can be read (a line that
    // dropped still hands out what arrived before).
    virtual bool CheckInput() = 0;
    // Moves what the device holds into the filter (ReadInput); false, with
    // the error set, when the device failed or went away.
    virtual bool TakeInput() = 0;
    // One read of the device into `buffer`: what read() returns, errno set.
    virtual ssize_t ReadSome(unsigned char* buffer, std::size_t size) = 0;
    // A piece the device sent; a backend that unwraps a protocol does so here.
    virtual void TakePiece(const unsigned char* data, std::size_t size) { filter_.Take(data, size); }
    // The device's entry of a poll for `events`.
    virtual pollfd LinePollFd(short events) const = 0;
    // One poll over `fds`; false, with the error set, when the poll fails.
    virtual bool Poll(pollfd (&fds)[2], int timeoutMs) = 0;
    // The same with a timeout finer than a millisecond (the pacing's).
    virtual bool PollFor(pollfd (&fds)[2], std::chrono::nanoseconds timeout);
    // A poll saw the device hang up: takes what it sent before, marks it gone.
    virtual void OnHangUp() = 0;
    // A Write begins.
    virtual void StartWrite() {}
    // 0 when the device has room for a slice; otherwise how long to watch the
    // input before looking again.
    virtual int RoomWaitMs() = 0;
    // Hands at most `size` bytes to the device; a full device is waited for
    // here, watching the input.
    virtual Handed HandOver(const char* data, std::size_t size) = 0;
    // Sends on what the device did not take before; false on a failure.
    virtual bool SendPending() { return true; }
    virtual HeldOutput OutputHeld() = 0;
    // A WaitEvent for `mask` begins: notes the state its line events count
    // from, and returns how often to look at them (-1: they wake the poll).
    virtual int StartEventWait(std::uint32_t mask) = 0;
    // Line events other than input since the wait began, each given once.
    virtual std::uint32_t StatusEvents(std::uint32_t mask) = 0;

    // --- For the backends ---

    // Longest wait on a device queue that holds output up.
    static constexpr int kMaxQueueWaitMs = 50;

    // The system's text for an errno.
    static std::string ErrnoText(int errorNumber);

    enum class InputEnd {
        Empty,  // the device has no more for now
        Closed, // it read 0: the other side is gone
        Failed, // `error` says why
    };
    // Reads the device dry into the filter, or up to a bound so that a flood
    // of input cannot hold a call.
    InputEnd ReadInput(int& error);

    // One poll over the device (for `events`) and the wake-up. Returns Ok
    // when something may have changed, Interrupted, or Failed when the poll
    // failed; a hang-up is marked and left to the next call.
    IoStatus WaitOnLine(short events, int timeoutMs);
    IoStatus WaitOnLineFor(short events, std::chrono::nanoseconds timeout);
    bool Interrupted() const { return wake_.Interrupted(); }
    void CloseWakeUp() { wake_.Close(); }

    // Each sets LastError() to "<name>: ..." and returns false.
    bool Fail(const std::string& what, int errorNumber);
    bool SetError(const std::string& text);

    // The settings last set, with the pacing and input filter they imply.
    const LineSettings& Settings() const { return settings_; }
    void ApplySettings(const LineSettings& settings);

    // Purge on our side: drops buffered input, or starts output afresh (a
    // stale XOFF and the wire model forgotten), as `purgeBits` say.
    struct Purged {
        bool input = false;
        bool output = false;
    };
    Purged PurgeOurs(std::uint32_t purgeBits);

    LinePacer& Pacer() { return pacer_; }
    LineInputFilter& Filter() { return filter_; }

private:
    template <typename PollCall> IoStatus Wait(short events, PollCall poll);

    std::string name_;
    std::string lastError_;
    LineSettings settings_;
    LinePacer pacer_;
    LineInputFilter filter_;
    LineWakeUp wake_;
};

} // namespace maroka::serial
