#pragma once

// The serial line on a POSIX tty (a UART, a USB adapter, a pseudo-terminal).
//
//   Open         opens a device for this program alone and puts it in raw mode
//   Get/SetState line settings through termios (the rest kept here)
//   ClearErrors  error word from the driver's counters, bytes ready to read
//   Purge        discards queued input (and a pending DC1), forgets an XOFF
//   WaitEvent    poll on the line and a wake-up eventfd
//   Write        obeys the machine's XON/XOFF itself (see below)
//   Drain        waits until the driver's output queue is empty
//   Close        forgets an XOFF, restores the device's settings, unlocks
//
// Output flow control is ours, not the kernel's (IXON stays off: many USB
// adapters ignore it and empty their buffers after an XOFF). While writing we
// read the input; an XOFF stops handing bytes to the driver at once and an
// XON resumes. Bytes go to the driver only while two things hold: its output
// queue (TIOCOUTQ) is below kQueueLowWater, and the LinePacer says the wire
// can have carried all but one slice (at most 5 ms of line time) of what was
// handed over. The second holds where the first cannot: a pseudo-terminal, a
// USB chip's buffer and a device server report no queue. So once the
// machine's XOFF is in our input, what still reaches the machine is at most
// one slice plus what the wire carries while the XOFF travels to us.
// Drain waits for the wire model as well as for the driver's queue.
//
// XON/XOFF bytes (while fOutX is on) and NUL bytes (while fNull is on) are
// taken out of the data; every event character (EvtChar, DC1) that arrives
// marks kEvRxFlag for the next WaitEvent, except an XON that resumes output
// the machine had stopped. Incoming bytes
// are compared on the data bits only, so on a 7-bit line 0x93 and 0x13 are the
// same XOFF.
//
// Modem lines and error counters are read where the driver has them
// (TIOCMGET, TIOCGICOUNT); a pseudo-terminal has neither, which is "not
// available", never an error. DSR is not a flow line on Linux: fOutxDsrFlow
// and fDsrSensitivity are kept but have no effect; fDtrControl only raises or
// lowers DTR. fParity, fAbortOnError, fTXContinueOnXoff, XonLim and XoffLim
// are kept for GetState and change nothing: parity is not checked, errors are
// reported by ClearErrors, and the kernel's IXOFF has its own thresholds.

#include "core/serial/LineInputFilter.h"
#include "core/serial/LinePacer.h"
#include "core/serial/SerialLine.h"
#include "core/serial/SystemCalls.h"
#include "core/serial/TermiosImage.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace maroka::serial {

class PosixSerialLine;

struct SerialOpenResult {
    std::unique_ptr<PosixSerialLine> line; // null when the open failed
    int errorNumber = 0;
    std::string error; // "<path>: <reason>"
};

class PosixSerialLine final : public SerialLine {
public:
    static constexpr int kQueueLowWater = 8;
    // Period of the modem-line and error-counter checks of WaitEvent.
    static constexpr int kStatusPollMs = 50;

    // Opens `path` read/write, non-blocking, without becoming its controlling
    // terminal, and takes an exclusive flock: a second Open of the same device
    // fails while this one is open (TIOCEXCL is set too, but root ignores it).
    // Saves the device's termios for Close, makes the line raw at its current
    // speed and format, and discards what was queued.
    static SerialOpenResult Open(const std::string& path, SystemCalls& sys = SystemCalls::Real());

    ~PosixSerialLine() override;
    PosixSerialLine(const PosixSerialLine&) = delete;
    PosixSerialLine& operator=(const PosixSerialLine&) = delete;

    const std::string& Name() const override { return name_; }

    bool GetProperties(QueueSizes& sizes) override;
    bool GetState(LineSettings& settings) override;
    bool SetState(const LineSettings& settings) override;

    bool ClearErrors(LineErrorState& state) override;
    bool ClearBreak() override;
    bool Purge(std::uint32_t purgeBits) override;

    IoStatus WaitEvent(std::uint32_t mask, std::uint32_t& events) override;

    IoResult Write(const char* data, std::size_t size) override;
    IoResult ReadAvailable(char* data, std::size_t size) override;
    IoStatus WaitReadable(int timeoutMs) override;
    IoStatus Drain() override;
    bool TransmitChar(char byte) override;

    void Interrupt() override;
    void ClearInterrupt() override;

    bool Close() override;

    std::string LastError() const override;

    // True while the machine's XOFF holds our output.
    bool OutputStopped() const { return filter_.OutputStopped(); }

private:
    struct Counters {
        int frame = 0;
        int overrun = 0;
        int parity = 0;
        int brk = 0;
        int bufOverrun = 0;
    };

    enum class DrainResult {
        Ok,
        Failed,
    };

    PosixSerialLine(std::string name, SystemCalls& sys, int fd, int wakeFd, const TermiosImage& original);

    bool IsOpen() const { return fd_ >= 0; }
    bool Fail(const std::string& what, int errorNumber);
    bool FailClosed();

    // Moves what the driver has queued into our input buffer, taking out flow
    // control and NUL bytes and noting event characters.
    DrainResult DrainInput();
    void MarkHungUp();

    // One poll over the line (with `lineEvents`) and the wake-up eventfd.
    // Returns Ok when something may have changed, Interrupted, or Failed
    // when the device hung up or the poll failed.
    IoStatus WaitOnLine(short lineEvents, int timeoutMs);
    // The same with a timeout finer than a millisecond (the pacing's).
    IoStatus WaitOnLineFor(short lineEvents, std::chrono::nanoseconds timeout);
    IoStatus AfterPoll(const pollfd (&fds)[2]);
    bool Interrupted() const { return interrupted_.load(std::memory_order_acquire); }

    bool ReadCounters(Counters& counters);
    std::uint32_t ErrorBitsSince(const Counters& before, const Counters& now) const;
    bool ReadModemLines(int& lines);
    int OutputQueued();
    // Time for `bytes` to leave at the line's speed, within [1, 50] ms.
    int QueueWaitMs(int bytes) const;

    std::string name_;
    SystemCalls& sys_;
    int fd_ = -1;
    int wakeFd_ = -1;
    TermiosImage original_;

    // The settings last set; the fields termios cannot hold live only here.
    LineSettings settings_;
    LinePacer pacer_;
    LineInputFilter filter_;
    bool hungUp_ = false;

    bool countersAvailable_ = false;
    Counters errorBase_;

    std::atomic<bool> interrupted_{false};
    std::mutex interruptMutex_;

    std::string lastError_;
};

} // namespace maroka::serial
