#pragma once

// The serial line on a POSIX tty (a UART, a USB adapter, a pseudo-terminal).
//
//   Open         opens a device for this program alone and puts it in raw mode
//   Get/SetState line settings through termios (the rest kept here)
//   ClearErrors  error word from the driver's counters, bytes ready to read
//   Purge        discards queued input (and a pending DC1), forgets an XOFF
//   WaitEvent    input, the event character, modem lines, error counters
//   Write        paced, under the machine's XON/XOFF (PacedSerialLine)
//   Drain        waits until the driver's output queue is empty
//   Close        forgets an XOFF, restores the device's settings, unlocks
//
// Output flow control is ours, not the kernel's (IXON stays off; see
// PacedSerialLine): a slice goes to the driver only while its output queue
// (TIOCOUTQ) is below kQueueLowWater and the wire model allows it. Drain
// waits for the wire model as well as for the driver's queue.
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

#include "core/serial/PacedSerialLine.h"
#include "core/serial/SystemCalls.h"
#include "core/serial/TermiosImage.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace maroka::serial {

class PosixSerialLine;

struct SerialOpenResult {
    std::unique_ptr<PosixSerialLine> line; // null when the open failed
    int errorNumber = 0;
    std::string error; // "<path>: <reason>"
};

class PosixSerialLine final : public PacedSerialLine {
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

    bool GetProperties(QueueSizes& sizes) override;
    bool GetState(LineSettings& settings) override;
    bool SetState(const LineSettings& settings) override;

    bool ClearErrors(LineErrorState& state) override;
    bool ClearBreak() override;
    bool Purge(std::uint32_t purgeBits) override;

    bool TransmitChar(char byte) override;

    bool Close() override;

private:
    struct Counters {
        int frame = 0;
        int overrun = 0;
        int parity = 0;
        int brk = 0;
        int bufOverrun = 0;
    };

    // The state a WaitEvent's modem-line and error events count from.
    struct EventWatch {
        bool lines = false;
        int baseLines = 0;
        bool counters = false;
        Counters baseCounters;
    };

    PosixSerialLine(std::string name, SystemCalls& sys, int fd, int wakeFd, const TermiosImage& original);

    bool IsOpen() const { return fd_ >= 0; }
    bool FailClosed();
    void MarkHungUp();

    bool CheckOutput() override { return IsOpen() || FailClosed(); }
    bool CheckInput() override { return IsOpen() || FailClosed(); }
    // Moves what the driver has queued into the filter.
    bool TakeInput() override;
    ssize_t ReadSome(unsigned char* buffer, std::size_t size) override;
    pollfd LinePollFd(short events) const override { return {fd_, events, 0}; }
    bool Poll(pollfd (&fds)[2], int timeoutMs) override;
    bool PollFor(pollfd (&fds)[2], std::chrono::nanoseconds timeout) override;
    void OnHangUp() override;
    void StartWrite() override;
    int RoomWaitMs() override;
    Handed HandOver(const char* data, std::size_t size) override;
    HeldOutput OutputHeld() override;
    int StartEventWait(std::uint32_t mask) override;
    std::uint32_t StatusEvents(std::uint32_t mask) override;

    bool ReadCounters(Counters& counters);
    std::uint32_t ErrorBitsSince(const Counters& before, const Counters& now) const;
    bool ReadModemLines(int& lines);
    int OutputQueued();
    // Time for `bytes` to leave at the line's speed, within [1, 50] ms.
    int QueueWaitMs(int bytes) const;

    SystemCalls& sys_;
    int fd_ = -1;
    TermiosImage original_;
    bool hungUp_ = false;

    bool countersAvailable_ = false;
    Counters errorBase_;
    EventWatch watch_;

    // How a Write sees a driver queue that does not move (CTS low).
    int lastQueued_ = -1;
    int stallMs_ = 1;
};

} // namespace maroka::serial
