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
#include <system_error>

namespace maroka::serial {

namespace {

using Clock = std::chrono::steady_clock;

// Upper limit of one DrainInput, so a flood of input cannot hold a call.
constexpr std::size_t kMaxDrain = 64 * 1024;
// Longest wait of a write that the output queue holds up.
constexpr int kMaxQueueWaitMs = 50;
// How long TransmitChar waits for room in the driver.
constexpr int kTransmitCharTimeoutMs = 2000;
// How long Close waits for queued output to leave before the settings change.
constexpr int kCloseDrainLimitMs = 2000;

std::string ErrnoText(int errorNumber)
{
    return std::system_category().message(errorNumber);
}

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

int MillisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1'000'000'000));
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
    result.line->settings_ = current;
    result.line->settings_.EvtChar = kXon;
    result.line->pacer_ = LinePacer(current.BaudRate, BitsPerCharacter(current));
    result.line->filter_.Configure(result.line->settings_);
    return result;
}

PosixSerialLine::PosixSerialLine(std::string name, SystemCalls& sys, int fd, int wakeFd, const TermiosImage& original)
    : name_(std::move(name)), sys_(sys), fd_(fd), wakeFd_(wakeFd), original_(original)
{
    countersAvailable_ = ReadCounters(errorBase_);
}

PosixSerialLine::~PosixSerialLine()
{
    Close();
}

bool PosixSerialLine::Fail(const std::string& what, int errorNumber)
{
    lastError_ = name_ + ": " + what + ": " + ErrnoText(errorNumber);
    return false;
}

bool PosixSerialLine::FailClosed()
{
    lastError_ = name_ + ": the port is not open";
    return false;
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
    LineSettings reported = settings_;
    FromTermios(t, reported);
    settings = reported;
    return true;
}

bool PosixSerialLine::SetState(const LineSettings& settings)
{
    if (!IsOpen())
        return FailClosed();
    if (settings.BaudRate == 0) {
        lastError_ = name_ + ": 0 is not a baud rate";
        return false;
    }
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
        lastError_ = name_ + ": the device does not take " + std::to_string(settings.BaudRate) + " baud";
        return false;
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

    settings_ = settings;
    pacer_ = LinePacer(settings.BaudRate, BitsPerCharacter(settings));
    filter_.Configure(settings);
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
    const bool failed = DrainInput() == DrainResult::Failed;
    if (failed && filter_.Buffered() == 0)
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
    state.inputQueued = filter_.Buffered();
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
    const bool input = (purgeBits & (kPurgeRxAbort | kPurgeRxClear)) != 0;
    const bool output = (purgeBits & (kPurgeTxAbort | kPurgeTxClear)) != 0;
    if (input)
        filter_.ClearInput();
    // Output starts afresh: a stale XOFF of the machine is forgotten.
    if (output) {
        filter_.ResumeOutput();
        pacer_.Forget();
    }
    if (!input && !output)
        return true;
    const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    if (RetryOnEintr([&] { return sys_.Ioctl(fd_, TCFLSH, IoctlValue(queue)); }) == -1)
        return Fail("discarding queued data", errno);
    return true;
}

PosixSerialLine::DrainResult PosixSerialLine::DrainInput()
{
    if (hungUp_)
        return DrainResult::Failed;
    filter_.Compact();

    unsigned char buffer[4096];
    std::size_t total = 0;
    while (total < kMaxDrain) {
        const ssize_t n = RetryOnEintr([&] { return sys_.Read(fd_, buffer, sizeof buffer); });
        if (n > 0) {
            filter_.Take(buffer, static_cast<std::size_t>(n));
            total += static_cast<std::size_t>(n);
            if (static_cast<std::size_t>(n) < sizeof buffer)
                break;
            continue;
        }
        if (n == 0) {
            // A tty in non-blocking raw mode reads 0 only after a hang-up.
            MarkHungUp();
            return DrainResult::Failed;
        }
        const int e = errno;
        if (e == EAGAIN || e == EWOULDBLOCK)
            break;
        if (DeviceGone(e))
            MarkHungUp();
        else
            Fail("reading", e);
        return DrainResult::Failed;
    }
    return DrainResult::Ok;
}

void PosixSerialLine::MarkHungUp()
{
    hungUp_ = true;
    lastError_ = name_ + ": " + std::string(kDeviceGoneText);
}

IoStatus PosixSerialLine::WaitOnLine(short lineEvents, int timeoutMs)
{
    if (Interrupted())
        return IoStatus::Interrupted;
    pollfd fds[2] = {
        {fd_, lineEvents, 0},
        {wakeFd_, POLLIN, 0},
    };
    if (RetryOnEintr([&] { return sys_.Poll(fds, 2, timeoutMs); }) == -1) {
        Fail("waiting on the line", errno);
        return IoStatus::Failed;
    }
    return AfterPoll(fds);
}

IoStatus PosixSerialLine::WaitOnLineFor(short lineEvents, std::chrono::nanoseconds timeout)
{
    if (Interrupted())
        return IoStatus::Interrupted;
    pollfd fds[2] = {
        {fd_, lineEvents, 0},
        {wakeFd_, POLLIN, 0},
    };
    if (RetryOnEintr([&] { return sys_.PollFor(fds, 2, timeout); }) == -1) {
        Fail("waiting on the line", errno);
        return IoStatus::Failed;
    }
    return AfterPoll(fds);
}

IoStatus PosixSerialLine::AfterPoll(const pollfd (&fds)[2])
{
    if ((fds[1].revents & POLLIN) != 0) {
        if (Interrupted())
            return IoStatus::Interrupted;
        // A wake-up that ClearInterrupt() has already taken back.
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t ignored = ::read(wakeFd_, &count, sizeof count);
    }
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        // Keep what arrived before the hang-up; the callers hand it out first.
        DrainInput();
        if (!hungUp_)
            MarkHungUp();
    }
    return IoStatus::Ok;
}

IoStatus PosixSerialLine::WaitEvent(std::uint32_t mask, std::uint32_t& events)
{
    events = 0;
    if (!IsOpen()) {
        FailClosed();
        return IoStatus::Failed;
    }
    if (Interrupted())
        return IoStatus::Interrupted;
    if (mask == 0) {
        lastError_ = name_ + ": no line event to wait for";
        return IoStatus::Failed;
    }

    constexpr std::uint32_t kModemEvents = kEvCts | kEvDsr | kEvRlsd;
    int baseLines = 0;
    const bool watchLines = (mask & kModemEvents) != 0 && ReadModemLines(baseLines);
    Counters baseCounters;
    const bool watchCounters = (mask & (kEvBreak | kEvErr)) != 0 && countersAvailable_ && ReadCounters(baseCounters);

    for (;;) {
        const bool failed = DrainInput() == DrainResult::Failed;
        std::uint32_t seen = 0;
        if (filter_.Buffered() > 0)
            seen |= kEvRxChar;
        if ((mask & kEvRxFlag) != 0 && filter_.TakeEventChar())
            seen |= kEvRxFlag;
        int lines = 0;
        if (watchLines && ReadModemLines(lines)) {
            const int changed = lines ^ baseLines;
            if ((changed & TIOCM_CTS) != 0)
                seen |= kEvCts;
            if ((changed & TIOCM_DSR) != 0)
                seen |= kEvDsr;
            if ((changed & TIOCM_CD) != 0)
                seen |= kEvRlsd;
        }
        Counters now;
        if (watchCounters && ReadCounters(now)) {
            if (now.brk != baseCounters.brk)
                seen |= kEvBreak;
            if ((ErrorBitsSince(baseCounters, now) & ~static_cast<std::uint32_t>(kErrBreak)) != 0)
                seen |= kEvErr;
        }
        seen &= mask;
        if (seen != 0) {
            events = seen;
            return IoStatus::Ok;
        }
        if (failed)
            return IoStatus::Failed;
        // Modem lines and counters wake no poll: look at them now and then.
        const IoStatus status = WaitOnLine(POLLIN, watchLines || watchCounters ? kStatusPollMs : -1);
        if (status != IoStatus::Ok)
            return status;
    }
}

int PosixSerialLine::QueueWaitMs(int bytes) const
{
    const int bitsPerChar = BitsPerCharacter(settings_);
    const std::uint64_t baud = settings_.BaudRate != 0 ? settings_.BaudRate : 9600;
    const std::uint64_t ms = (static_cast<std::uint64_t>(std::max(bytes, 1)) * bitsPerChar * 1000 + baud - 1) / baud;
    return static_cast<int>(std::clamp<std::uint64_t>(ms, 1, kMaxQueueWaitMs));
}

IoResult PosixSerialLine::Write(const char* data, std::size_t size)
{
    IoResult result;
    if (!IsOpen()) {
        FailClosed();
        result.status = IoStatus::Failed;
        return result;
    }
    int lastQueued = -1;
    int stallMs = 1;
    while (result.count < size) {
        if (Interrupted()) {
            result.status = IoStatus::Interrupted;
            return result;
        }
        // Look at the input before every slice: an XOFF must stop the next one.
        if (DrainInput() == DrainResult::Failed) {
            result.status = IoStatus::Failed;
            return result;
        }
        if (filter_.OutputStopped()) {
            // Held by the machine: sleep until input (its XON) or a wake-up.
            result.status = WaitOnLine(POLLIN, -1);
            if (result.status != IoStatus::Ok)
                return result;
            continue;
        }
        const int queued = OutputQueued();
        if (queued >= kQueueLowWater) {
            // A queue that does not move (CTS low) is looked at less and less often.
            stallMs = queued >= lastQueued ? std::min(stallMs * 2, kMaxQueueWaitMs) : 1;
            lastQueued = queued;
            result.status = WaitOnLine(POLLIN, std::max(QueueWaitMs(queued - kQueueLowWater + 1), stallMs));
            if (result.status != IoStatus::Ok)
                return result;
            continue;
        }
        lastQueued = queued;
        stallMs = 1;

        // Never more than a slice ahead of what the wire can have carried,
        // whatever the device is willing to take.
        const std::size_t allowed = pacer_.Allowance(Clock::now());
        if (allowed == 0) {
            result.status = WaitOnLineFor(POLLIN, pacer_.WaitBeforeNextWrite(Clock::now()));
            if (result.status != IoStatus::Ok)
                return result;
            continue;
        }
        const std::size_t slice = std::min(allowed, size - result.count);
        const ssize_t n = RetryOnEintr([&] { return sys_.Write(fd_, data + result.count, slice); });
        if (n > 0) {
            pacer_.Sent(static_cast<std::size_t>(n), Clock::now());
            result.count += static_cast<std::size_t>(n);
            continue;
        }
        const int e = errno;
        if (n == 0 || e == EAGAIN || e == EWOULDBLOCK) {
            // Driver full: wait for room, still watching the input for XOFF.
            result.status = WaitOnLine(POLLIN | POLLOUT, n == 0 ? kMaxQueueWaitMs : -1);
            if (result.status != IoStatus::Ok)
                return result;
            continue;
        }
        if (DeviceGone(e))
            MarkHungUp();
        else
            Fail("writing", e);
        result.status = IoStatus::Failed;
        return result;
    }
    result.status = IoStatus::Ok;
    return result;
}

IoResult PosixSerialLine::ReadAvailable(char* data, std::size_t size)
{
    IoResult result;
    if (!IsOpen()) {
        FailClosed();
        result.status = IoStatus::Failed;
        return result;
    }
    if (Interrupted()) {
        result.status = IoStatus::Interrupted;
        return result;
    }
    const bool failed = DrainInput() == DrainResult::Failed;
    const std::size_t count = std::min(size, filter_.Buffered());
    if (count == 0 && failed) {
        result.status = IoStatus::Failed;
        return result;
    }
    result.count = filter_.Read(data, count);
    return result;
}

IoStatus PosixSerialLine::WaitReadable(int timeoutMs)
{
    if (!IsOpen()) {
        FailClosed();
        return IoStatus::Failed;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (Interrupted())
            return IoStatus::Interrupted;
        const bool failed = DrainInput() == DrainResult::Failed;
        if (filter_.Buffered() > 0)
            return IoStatus::Ok;
        if (failed)
            return IoStatus::Failed;
        const int left = timeoutMs < 0 ? -1 : MillisecondsUntil(deadline);
        if (left == 0)
            return IoStatus::Ok;
        const IoStatus status = WaitOnLine(POLLIN, left);
        if (status != IoStatus::Ok)
            return status;
    }
}

IoStatus PosixSerialLine::Drain()
{
    if (!IsOpen()) {
        FailClosed();
        return IoStatus::Failed;
    }
    // The driver's queue wakes no poll when it empties; look at it at the
    // pace the bytes leave. Input is taken meanwhile so that it cannot keep
    // the poll awake.
    for (;;) {
        if (Interrupted())
            return IoStatus::Interrupted;
        if (DrainInput() == DrainResult::Failed)
            return IoStatus::Failed;
        int queued = 0;
        if (RetryOnEintr([&] { return sys_.Ioctl(fd_, TIOCOUTQ, &queued); }) == -1) {
            if (NotSupported(errno))
                return IoStatus::Ok;
            Fail("reading the output queue", errno);
            return IoStatus::Failed;
        }
        if (queued <= 0) {
            // A device that reports no queue (a pseudo-terminal, an adapter's
            // chip buffer) is done when the wire model says so.
            const auto wireLeft = pacer_.WireIdleAt() - Clock::now();
            if (wireLeft <= Clock::duration::zero())
                return IoStatus::Ok;
            const IoStatus status = WaitOnLine(POLLIN, CeilMilliseconds(wireLeft));
            if (status != IoStatus::Ok)
                return status;
            continue;
        }
        const IoStatus status = WaitOnLine(POLLIN, QueueWaitMs(queued));
        if (status != IoStatus::Ok)
            return status;
    }
}

bool PosixSerialLine::TransmitChar(char byte)
{
    if (!IsOpen())
        return FailClosed();
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTransmitCharTimeoutMs);
    for (;;) {
        const ssize_t n = RetryOnEintr([&] { return sys_.Write(fd_, &byte, 1); });
        if (n == 1) {
            pacer_.Sent(1, Clock::now());
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
            lastError_ = name_ + ": sending a control character was interrupted";
            return false;
        }
        if (status == IoStatus::Failed)
            return false;
    }
}

void PosixSerialLine::Interrupt()
{
    std::lock_guard lock(interruptMutex_);
    interrupted_.store(true, std::memory_order_release);
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
    }
}

void PosixSerialLine::ClearInterrupt()
{
    std::lock_guard lock(interruptMutex_);
    interrupted_.store(false, std::memory_order_release);
    if (wakeFd_ >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t ignored = ::read(wakeFd_, &count, sizeof count);
    }
}

bool PosixSerialLine::Close()
{
    if (!IsOpen())
        return true;
    filter_.ResumeOutput();

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
    {
        std::lock_guard lock(interruptMutex_);
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
    filter_.ClearInput();
    if (closed == -1 && closeError != EINTR)
        return Fail("closing", closeError);
    return true;
}

std::string PosixSerialLine::LastError() const
{
    return lastError_;
}

} // namespace maroka::serial
