#include "core/serial/PosixSerialLine.h"

#include "core/serial/PortPermission.h"
#include "core/serial/TermiosDevice.h"
#include "core/serial/TermiosMapping.h"

#include <linux/serial.h>
#include <sys/eventfd.h>
#include <termios.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace maroka::serial {

namespace {

using Clock = std::chrono::steady_clock;

// How long TransmitChar waits for room in the driver.
constexpr int kTransmitCharTimeoutMs = 2000;
// How long Close waits for queued output to leave before the settings change.
constexpr int kCloseDrainLimitMs = 2000;

// The driver does not have this call; not an error.
bool NotSupported(int errorNumber)
{
    return errorNumber == ENOTTY || errorNumber == EINVAL || errorNumber == EOPNOTSUPP;
}

// The device is gone (unplugged, or the other side of a pseudo-terminal closed).
bool DeviceGone(int errorNumber)
{
    return errorNumber == EIO || errorNumber == ENXIO || errorNumber == ENODEV;
}

void* IoctlValue(int value)
{
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(value));
}

} // namespace

SerialOpenResult PosixSerialLine::Open(const std::string& path, SystemCalls& sys)
{
    SerialOpenResult result;
    auto fail = [&](int errorNumber, const std::string& reason) {
        result.errorNumber = errorNumber;
        result.error = path + ": " + reason;
        return std::move(result);
    };

    const int fd = RetryOnEintr([&] { return sys.Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd == -1) {
        const int e = errno;
        return fail(e, OpenErrorText(path, e));
    }
    auto closeAndFail = [&](int errorNumber, const std::string& reason) {
        sys.Close(fd);
        return fail(errorNumber, reason);
    };

    TermiosImage original;
    if (const int e = ReadTermios(sys, fd, original); e != 0)
        return closeAndFail(e, e == ENOTTY ? "not a serial device" : ErrnoText(e));

    // Exclusivity rests on the lock: as root TIOCEXCL does not stop a second open.
    if (RetryOnEintr([&] { return sys.Flock(fd, LOCK_EX | LOCK_NB); }) == -1) {
        const int e = errno;
        if (e == EWOULDBLOCK)
            return closeAndFail(EBUSY, "the port is in use by another program");
        return closeAndFail(e, ErrnoText(e));
    }
    sys.Ioctl(fd, TIOCEXCL, nullptr);

    // Raw from the start, at the speed and format the device has, so nothing
    // is echoed or translated before the first SetState.
    LineSettings current;
    FromTermios(original, current);
    if (current.BaudRate == 0)
        current.BaudRate = 9600; // B0 would hang the line up
    if (const int e = WriteTermios(sys, fd, ToTermios(current, original)); e != 0)
        return closeAndFail(e, ErrnoText(e));
    if (RetryOnEintr([&] { return sys.Ioctl(fd, TCFLSH, IoctlValue(TCIOFLUSH)); }) == -1) {
        const int e = errno;
        WriteTermios(sys, fd, original);
        return closeAndFail(e, ErrnoText(e));
    }

    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd == -1) {
        const int e = errno;
        WriteTermios(sys, fd, original);
        return closeAndFail(e, ErrnoText(e));
    }

    result.line.reset(new PosixSerialLine(path, sys, fd, wakeFd, original));
    current.EvtChar = kXon;
    result.line->ApplySettings(current);
    return result;
}

PosixSerialLine::PosixSerialLine(std::string name, SystemCalls& sys, int fd, int wakeFd, const TermiosImage& original)
    : PacedSerialLine(std::move(name), wakeFd), sys_(sys), fd_(fd), original_(original)
{
    countersAvailable_ = ReadCounters(errorBase_);
}

PosixSerialLine::~PosixSerialLine()
{
    Close();
}

bool PosixSerialLine::FailClosed()
{
    return SetError("the port is not open");
}

bool PosixSerialLine::GetProperties(QueueSizes& sizes)
{
    if (!IsOpen())
        return FailClosed();
    // A tty has no fixed queue sizes to report.
    sizes = QueueSizes{};
    return true;
}

bool PosixSerialLine::GetState(LineSettings& settings)
{
    if (!IsOpen())
        return FailClosed();
    TermiosImage t;
    if (const int e = ReadTermios(sys_, fd_, t); e != 0)
        return Fail("reading the line settings", e);
    LineSettings reported = Settings();
    FromTermios(t, reported);
    settings = reported;
    return true;
}

bool PosixSerialLine::SetState(const LineSettings& settings)
{
    if (!IsOpen())
        return FailClosed();
    if (settings.BaudRate == 0)
        return SetError("0 is not a baud rate");
    TermiosImage before;
    if (const int e = ReadTermios(sys_, fd_, before); e != 0)
        return Fail("reading the line settings", e);
    if (const int e = WriteTermios(sys_, fd_, ToTermios(settings, before)); e != 0)
        return Fail("setting the line", e);

    // Read back: a driver takes what it can and says nothing about the rest.
    TermiosImage applied;
    if (const int e = ReadTermios(sys_, fd_, applied); e != 0)
        return Fail("reading the line settings", e);
    LineSettings check = settings;
    FromTermios(applied, check);
    const std::uint64_t wanted = settings.BaudRate;
    const std::uint64_t got = check.BaudRate;
    if ((got > wanted ? got - wanted : wanted - got) * 50 > wanted) {
        WriteTermios(sys_, fd_, before);
        return SetError("the device does not take " + std::to_string(settings.BaudRate) + " baud");
    }

    // DTR and, without the RTS/CTS handshake, RTS are levels termios does not
    // carry. DTR stays on in handshake mode: DSR is no flow line here.
    auto setLine = [&](int line, bool on) {
        int bits = line;
        if (RetryOnEintr([&] { return sys_.Ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits); }) == -1 &&
            !NotSupported(errno))
            return Fail(on ? "raising a modem line" : "lowering a modem line", errno);
        return true;
    };
    if (!setLine(TIOCM_DTR, settings.fDtrControl != 0))
        return false;
    if ((applied.cflag & CRTSCTS) == 0 && !setLine(TIOCM_RTS, settings.fRtsControl != 0))
        return false;

    ApplySettings(settings);
    return true;
}

bool PosixSerialLine::ReadCounters(Counters& counters)
{
    serial_icounter_struct c{};
    if (RetryOnEintr([&] { return sys_.Ioctl(fd_, TIOCGICOUNT, &c); }) == -1)
        return false;
    counters.frame = c.frame;
    counters.overrun = c.overrun;
    counters.parity = c.parity;
    counters.brk = c.brk;
    counters.bufOverrun = c.buf_overrun;
    return true;
}

std::uint32_t PosixSerialLine::ErrorBitsSince(const Counters& before, const Counters& now) const
{
    std::uint32_t bits = 0;
    if (now.frame != before.frame)
        bits |= kErrFrame;
    if (now.overrun != before.overrun)
        bits |= kErrOverrun;
    if (now.parity != before.parity)
        bits |= kErrParity;
    if (now.brk != before.brk)
        bits |= kErrBreak;
    if (now.bufOverrun != before.bufOverrun)
        bits |= kErrRxOver;
    return bits;
}

bool PosixSerialLine::ReadModemLines(int& lines)
{
    return RetryOnEintr([&] { return sys_.Ioctl(fd_, TIOCMGET, &lines); }) != -1;
}

int PosixSerialLine::OutputQueued()
{
    int queued = 0;
    if (RetryOnEintr([&] { return sys_.Ioctl(fd_, TIOCOUTQ, &queued); }) == -1)
        return 0;
    return queued;
}

bool PosixSerialLine::ClearErrors(LineErrorState& state)
{
    if (!IsOpen())
        return FailClosed();
    // Draining first makes the count exact: it is what ReadAvailable will
    // hand out, after flow control and NUL bytes have been taken out.
    const bool failed = !TakeInput();
    if (failed && Filter().Buffered() == 0)
        return false;
    std::uint32_t errors = 0;
    if (countersAvailable_) {
        Counters now;
        if (!ReadCounters(now))
            return Fail("reading the error counters", errno);
        errors = ErrorBitsSince(errorBase_, now);
        errorBase_ = now;
    }
    state.errors = errors;
    state.inputQueued = Filter().Buffered();
    return true;
}

bool PosixSerialLine::ClearBreak()
{
    if (!IsOpen())
        return FailClosed();
    if (RetryOnEintr([&] { return sys_.Ioctl(fd_, TIOCCBRK, nullptr); }) == -1 && !NotSupported(errno))
        return Fail("clearing a break", errno);
    return true;
}

bool PosixSerialLine::Purge(std::uint32_t purgeBits)
{
    if (!IsOpen())
        return FailClosed();
    const auto [input, output] = PurgeOurs(purgeBits);
    if (!input && !output)
        return true;
    const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    if (RetryOnEintr([&] { return sys_.Ioctl(fd_, TCFLSH, IoctlValue(queue)); }) == -1)
        return Fail("discarding queued data", errno);
    return true;
}

bool PosixSerialLine::TakeInput()
{
    if (hungUp_)
        return false;
    int error = 0;
    const InputEnd end = ReadInput(error);
    // A tty in non-blocking raw mode reads 0 only after a hang-up.
    if (end == InputEnd::Closed || (end == InputEnd::Failed && DeviceGone(error)))
        MarkHungUp();
    else if (end == InputEnd::Failed)
        Fail("reading", error);
    return end == InputEnd::Empty;
}

ssize_t PosixSerialLine::ReadSome(unsigned char* buffer, std::size_t size)
{
    return RetryOnEintr([&] { return sys_.Read(fd_, buffer, size); });
}

void PosixSerialLine::MarkHungUp()
{
    hungUp_ = true;
    SetError(std::string(kDeviceGoneText));
}

void PosixSerialLine::OnHangUp()
{
    TakeInput();
    if (!hungUp_)
        MarkHungUp();
}

bool PosixSerialLine::Poll(pollfd (&fds)[2], int timeoutMs)
{
    return RetryOnEintr([&] { return sys_.Poll(fds, 2, timeoutMs); }) != -1 || Fail("waiting on the line", errno);
}

bool PosixSerialLine::PollFor(pollfd (&fds)[2], std::chrono::nanoseconds timeout)
{
    return RetryOnEintr([&] { return sys_.PollFor(fds, 2, timeout); }) != -1 || Fail("waiting on the line", errno);
}

int PosixSerialLine::StartEventWait(std::uint32_t mask)
{
    constexpr std::uint32_t kModemEvents = kEvCts | kEvDsr | kEvRlsd;
    watch_ = EventWatch{};
    watch_.lines = (mask & kModemEvents) != 0 && ReadModemLines(watch_.baseLines);
    watch_.counters = (mask & (kEvBreak | kEvErr)) != 0 && countersAvailable_ && ReadCounters(watch_.baseCounters);
    // Modem lines and counters wake no poll: look at them now and then.
    return watch_.lines || watch_.counters ? kStatusPollMs : -1;
}

std::uint32_t PosixSerialLine::StatusEvents(std::uint32_t)
{
    std::uint32_t seen = 0;
    int lines = 0;
    if (watch_.lines && ReadModemLines(lines)) {
        const int changed = lines ^ watch_.baseLines;
        if ((changed & TIOCM_CTS) != 0)
            seen |= kEvCts;
        if ((changed & TIOCM_DSR) != 0)
            seen |= kEvDsr;
        if ((changed & TIOCM_CD) != 0)
            seen |= kEvRlsd;
    }
    Counters now;
    if (watch_.counters && ReadCounters(now)) {
        if (now.brk != watch_.baseCounters.brk)
            seen |= kEvBreak;
        if ((ErrorBitsSince(watch_.baseCounters, now) & ~static_cast<std::uint32_t>(kErrBreak)) != 0)
            seen |= kEvErr;
    }
    return seen;
}

int PosixSerialLine::QueueWaitMs(int bytes) const
{
    const int bitsPerChar = BitsPerCharacter(Settings());
    const std::uint64_t baud = Settings().BaudRate != 0 ? Settings().BaudRate : 9600;
    const std::uint64_t ms = (static_cast<std::uint64_t>(std::max(bytes, 1)) * bitsPerChar * 1000 + baud - 1) / baud;
    return static_cast<int>(std::clamp<std::uint64_t>(ms, 1, kMaxQueueWaitMs));
}

void PosixSerialLine::StartWrite()
{
    lastQueued_ = -1;
    stallMs_ = 1;
}

int PosixSerialLine::RoomWaitMs()
{
    const int queued = OutputQueued();
    if (queued >= kQueueLowWater) {
        // A queue that does not move (CTS low) is looked at less and less often.
        stallMs_ = queued >= lastQueued_ ? std::min(stallMs_ * 2, kMaxQueueWaitMs) : 1;
        lastQueued_ = queued;
        return std::max(QueueWaitMs(queued - kQueueLowWater + 1), stallMs_);
    }
    lastQueued_ = queued;
    stallMs_ = 1;
    return 0;
}

PacedSerialLine::Handed PosixSerialLine::HandOver(const char* data, std::size_t size)
{
    const ssize_t n = RetryOnEintr([&] { return sys_.Write(fd_, data, size); });
    if (n > 0)
        return {static_cast<std::size_t>(n), IoStatus::Ok};
    const int e = errno;
    if (n == 0 || e == EAGAIN || e == EWOULDBLOCK) {
        // Driver full: wait for room, still watching the input for XOFF.
        return {0, WaitOnLine(POLLIN | POLLOUT, n == 0 ? kMaxQueueWaitMs : -1)};
    }
    if (DeviceGone(e))
        MarkHungUp();
    else
        Fail("writing", e);
    return {0, IoStatus::Failed};
}

PacedSerialLine::HeldOutput PosixSerialLine::OutputHeld()
{
    int queued = 0;
    if (RetryOnEintr([&] { return sys_.Ioctl(fd_, TIOCOUTQ, &queued); }) == -1) {
        if (NotSupported(errno))
            return {HeldOutput::State::Unknown};
        Fail("reading the output queue", errno);
        return {HeldOutput::State::Failed};
    }
    if (queued <= 0)
        return {HeldOutput::State::Nothing};
    return {HeldOutput::State::Some, QueueWaitMs(queued)};
}

bool PosixSerialLine::TransmitChar(char byte)
{
    if (!IsOpen())
        return FailClosed();
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTransmitCharTimeoutMs);
    for (;;) {
        const ssize_t n = RetryOnEintr([&] { return sys_.Write(fd_, &byte, 1); });
        if (n == 1) {
            Pacer().Sent(1, Clock::now());
            return true;
        }
        const int e = errno;
        if (n == -1 && e != EAGAIN && e != EWOULDBLOCK) {
            if (DeviceGone(e)) {
                MarkHungUp();
                return false;
            }
            return Fail("sending a control character", e);
        }
        const int left = MillisecondsUntil(deadline);
        if (left == 0)
            return Fail("sending a control character", ETIMEDOUT);
        const IoStatus status = WaitOnLine(POLLOUT, std::min(left, kMaxQueueWaitMs));
        if (status == IoStatus::Interrupted) {
            return SetError("sending a control character was interrupted");
        }
        if (status == IoStatus::Failed)
            return false;
    }
}

bool PosixSerialLine::Close()
{
    if (!IsOpen())
        return true;
    Filter().ResumeOutput();

    if (!hungUp_) {
        // Let queued output leave at the speed it was queued for.
        const auto deadline = Clock::now() + std::chrono::milliseconds(kCloseDrainLimitMs);
        for (int queued = OutputQueued(); queued > 0 && MillisecondsUntil(deadline) > 0; queued = OutputQueued()) {
            pollfd none{-1, 0, 0};
            sys_.Poll(&none, 1, QueueWaitMs(queued));
        }
        // The device's own settings come back; failing that is no reason to
        // keep the port.
        WriteTermios(sys_, fd_, original_);
        // The flag stays with the tty while anyone else holds it open.
        sys_.Ioctl(fd_, TIOCNXCL, nullptr);
    }
    sys_.Flock(fd_, LOCK_UN);

    // No retry: the descriptor is released even when close() reports an error.
    const int closed = sys_.Close(fd_);
    const int closeError = errno;
    fd_ = -1;
    CloseWakeUp();
    Filter().ClearInput();
    if (closed == -1 && closeError != EINTR)
        return Fail("closing", closeError);
    return true;
}

} // namespace maroka::serial
