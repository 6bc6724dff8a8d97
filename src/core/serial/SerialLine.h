#pragma once

// One open serial line, as the transfer loops see it. The POSIX backend
// drives a tty; tests use backends that fail or inject line errors on purpose.
//
// Thread contract: the transfer worker makes the I/O calls; any thread may
// call Interrupt(), which ends a blocking Write, Read or WaitEvent at once and
// makes each later one return Interrupted until ClearInterrupt().

#include "core/serial/LineSettings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace maroka::serial {

// Why a line failed when its device went away: a tty unplugged or hung up,
// or the connection to a device server dropped.
inline constexpr std::string_view kDeviceGoneText = "the device is gone (unplugged, or the other side closed it)";

// Error bits of the line error word, as the loops classify them.
enum LineErrorBits : std::uint32_t {
    kErrRxOver = 0x0001,
    kErrOverrun = 0x0002,
    kErrParity = 0x0004,
    kErrFrame = 0x0008,
    kErrBreak = 0x0010,
    kErrTxFull = 0x0100,
    kErrIoe = 0x0400,
};

// Line events a wait can end on.
enum LineEventBits : std::uint32_t {
    kEvRxChar = 0x0001,
    kEvRxFlag = 0x0002, // the event character (DC1) arrived
    kEvCts = 0x0008,
    kEvDsr = 0x0010,
    kEvRlsd = 0x0020,
    kEvBreak = 0x0040,
    kEvErr = 0x0080,
};
inline constexpr std::uint32_t kEvAllButTxEmpty = 0xFB;

enum PurgeBits : std::uint32_t {
    kPurgeTxAbort = 0x0001,
    kPurgeRxAbort = 0x0002,
    kPurgeTxClear = 0x0004,
    kPurgeRxClear = 0x0008,
};

enum class IoStatus {
    Ok,
    Interrupted, // Interrupt() ended the call
    Failed,      // the device refused or vanished; see SerialLine::LastError()
};

struct IoResult {
    IoStatus status = IoStatus::Ok;
    std::size_t count = 0; // bytes moved before the call ended
};

struct LineErrorState {
    std::uint32_t errors = 0;    // LineErrorBits seen since the last call
    std::size_t inputQueued = 0; // bytes ready to read
};

class SerialLine {
public:
    virtual ~SerialLine() = default;

    virtual const std::string& Name() const = 0;

    // Line setup. Each returns false when the device refuses.
    virtual bool GetProperties(QueueSizes& sizes) = 0;
    virtual bool GetState(LineSettings& settings) = 0;
    virtual bool SetState(const LineSettings& settings) = 0;

    // Reads and clears the error word; false when it cannot be read.
    virtual bool ClearErrors(LineErrorState& state) = 0;
    virtual bool ClearBreak() = 0;
    virtual bool Purge(std::uint32_t purgeBits) = 0;

    // Blocks until one of `mask`'s events occurs or Interrupt() is called.
    // The events seen go to `events` (0 when interrupted).
    virtual IoStatus WaitEvent(std::uint32_t mask, std::uint32_t& events) = 0;

    // Writes all of `data` under the machine's XON/XOFF and the hardware
    // handshake; returns early only on Interrupt() or a failure.
    virtual IoResult Write(const char* data, std::size_t size) = 0;
    // Reads what is queued, at most `size` bytes, without blocking.
    virtual IoResult ReadAvailable(char* data, std::size_t size) = 0;
    // Waits up to `timeoutMs` for input to arrive (or Interrupt()).
    virtual IoStatus WaitReadable(int timeoutMs) = 0;
    // Waits until every byte handed to the device has left it (or Interrupt()).
    virtual IoStatus Drain() = 0;
    // Puts one byte on the line at once, ahead of queued output and whatever
    // the flow-control state.
    virtual bool TransmitChar(char byte) = 0;

    virtual void Interrupt() = 0;
    virtual void ClearInterrupt() = 0;

    // Resumes a stopped output and closes the device; false when closing fails.
    virtual bool Close() = 0;

    // Text of the last failure, for messages and logs.
    virtual std::string LastError() const = 0;

    // Something the user should read once about this line (for the status
    // text), or empty.
    virtual std::string TakeNotice() { return {}; }
};

} // namespace maroka::serial
