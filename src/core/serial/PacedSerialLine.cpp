#include "core/serial/PacedSerialLine.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace maroka::serial {

namespace {

using Clock = std::chrono::steady_clock;

// Upper limit of one ReadInput.
constexpr std::size_t kMaxInput = 64 * 1024;

IoResult Ended(IoResult result, IoStatus status)
{
    result.status = status;
    return result;
}

} // namespace

PacedSerialLine::PacedSerialLine(std::string name, int wakeFd) : name_(std::move(name)), wake_(wakeFd) {}

bool PacedSerialLine::PollFor(pollfd (&fds)[2], std::chrono::nanoseconds timeout)
{
    return Poll(fds, CeilMilliseconds(timeout));
}

PacedSerialLine::InputEnd PacedSerialLine::ReadInput(int& error)
{
    filter_.Compact();
    unsigned char buffer[4096];
    std::size_t total = 0;
    while (total < kMaxInput) {
        const ssize_t n = ReadSome(buffer, sizeof buffer);
        if (n == 0)
            return InputEnd::Closed;
        if (n < 0) {
            error = errno;
            return error == EAGAIN || error == EWOULDBLOCK ? InputEnd::Empty : InputEnd::Failed;
        }
        TakePiece(buffer, static_cast<std::size_t>(n));
        total += static_cast<std::size_t>(n);
        if (static_cast<std::size_t>(n) < sizeof buffer)
            break;
    }
    return InputEnd::Empty;
}

template <typename PollCall> IoStatus PacedSerialLine::Wait(short events, PollCall poll)
{
    if (Interrupted())
        return IoStatus::Interrupted;
    pollfd fds[2] = {
        LinePollFd(events),
        {wake_.Fd(), POLLIN, 0},
    };
    if (!poll(fds))
        return IoStatus::Failed;
    if ((fds[1].revents & POLLIN) != 0) {
        if (Interrupted())
            return IoStatus::Interrupted;
        wake_.TakeBack();
    }
    // Keep what arrived before the hang-up; the callers hand it out first.
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        OnHangUp();
    return IoStatus::Ok;
}

IoStatus PacedSerialLine::WaitOnLine(short events, int timeoutMs)
{
    return Wait(events, [&](pollfd(&fds)[2]) { return Poll(fds, timeoutMs); });
}

IoStatus PacedSerialLine::WaitOnLineFor(short events, std::chrono::nanoseconds timeout)
{
    return Wait(events, [&](pollfd(&fds)[2]) { return PollFor(fds, timeout); });
}

IoStatus PacedSerialLine::WaitEvent(std::uint32_t mask, std::uint32_t& events)
{
    events = 0;
    if (!CheckOutput())
        return IoStatus::Failed;
    if (Interrupted())
        return IoStatus::Interrupted;
    if (mask == 0) {
        SetError("no line event to wait for");
        return IoStatus::Failed;
    }
    const int lookMs = StartEventWait(mask);
    for (;;) {
        const bool failed = !TakeInput();
        std::uint32_t seen = 0;
        if (filter_.Buffered() > 0)
            seen |= kEvRxChar;
        if ((mask & kEvRxFlag) != 0 && filter_.TakeEventChar())
            seen |= kEvRxFlag;
        seen |= StatusEvents(mask);
        seen &= mask;
        if (seen != 0) {
            events = seen;
            return IoStatus::Ok;
        }
        if (failed)
            return IoStatus::Failed;
        const IoStatus status = WaitOnLine(POLLIN, lookMs);
        if (status != IoStatus::Ok)
            return status;
    }
}

IoResult PacedSerialLine::Write(const char* data, std::size_t size)
{
    IoResult result;
    if (!CheckOutput())
        return Ended(result, IoStatus::Failed);
    StartWrite();
    while (result.count < size) {
        if (Interrupted())
            return Ended(result, IoStatus::Interrupted);
        // Look at the input before every slice: an XOFF must stop the next one.
        if (!TakeInput())
            return Ended(result, IoStatus::Failed);
        if (filter_.OutputStopped()) {
            // Held by the machine: sleep until input (its XON) or a wake-up.
            result.status = WaitOnLine(POLLIN, -1);
            if (result.status != IoStatus::Ok)
                return result;
            continue;
        }
        if (const int roomMs = RoomWaitMs(); roomMs > 0) {
            result.status = WaitOnLine(POLLIN, roomMs);
            if (result.status != IoStatus::Ok)
                return result;
            if (!SendPending())
                return Ended(result, IoStatus::Failed);
            continue;
        }

        // Never more than a slice ahead of what the wire can have carried,
        // whatever the device is willing to take.
        const std::size_t allowed = pacer_.Allowance(Clock::now());
        if (allowed == 0) {
            result.status = WaitOnLineFor(POLLIN, pacer_.WaitBeforeNextWrite(Clock::now()));
            if (result.status != IoStatus::Ok)
                return result;
            continue;
        }
        const Handed handed = HandOver(data + result.count, std::min(allowed, size - result.count));
        if (handed.count > 0)
            pacer_.Sent(handed.count, Clock::now());
        result.count += handed.count;
        if (handed.status != IoStatus::Ok)
            return Ended(result, handed.status);
    }
    return Ended(result, IoStatus::Ok);
}

IoResult PacedSerialLine::ReadAvailable(char* data, std::size_t size)
{
    IoResult result;
    if (!CheckInput())
        return Ended(result, IoStatus::Failed);
    if (Interrupted())
        return Ended(result, IoStatus::Interrupted);
    const bool failed = !TakeInput();
    if (filter_.Buffered() == 0 && failed)
        return Ended(result, IoStatus::Failed);
    result.count = filter_.Read(data, size);
    return result;
}

IoStatus PacedSerialLine::WaitReadable(int timeoutMs)
{
    if (!CheckInput())
        return IoStatus::Failed;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (Interrupted())
            return IoStatus::Interrupted;
        const bool failed = !TakeInput();
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

IoStatus PacedSerialLine::Drain()
{
    if (!CheckOutput())
        return IoStatus::Failed;
    // The device's queue wakes no poll when it empties; look at it at the
    // pace the bytes leave. Input is taken meanwhile so that it cannot keep
    // the poll awake.
    for (;;) {
        if (Interrupted())
            return IoStatus::Interrupted;
        if (!TakeInput())
            return IoStatus::Failed;
        const HeldOutput held = OutputHeld();
        if (held.state == HeldOutput::State::Failed)
            return IoStatus::Failed;
        if (held.state == HeldOutput::State::Unknown)
            return IoStatus::Ok;
        int waitMs = held.waitMs;
        if (held.state == HeldOutput::State::Nothing) {
            // A device that reports no queue (a pseudo-terminal, an adapter's
            // chip buffer, a device server) is done when the wire model says so.
            const auto wireLeft = pacer_.WireIdleAt() - Clock::now();
            if (wireLeft <= Clock::duration::zero())
                return IoStatus::Ok;
            waitMs = CeilMilliseconds(wireLeft);
        }
        const IoStatus status = WaitOnLine(POLLIN, waitMs);
        if (status != IoStatus::Ok)
            return status;
        if (!SendPending())
            return IoStatus::Failed;
    }
}

void PacedSerialLine::Interrupt()
{
    wake_.Interrupt();
}

void PacedSerialLine::ClearInterrupt()
{
    wake_.Clear();
}

std::string PacedSerialLine::LastError() const
{
    return lastError_;
}

bool PacedSerialLine::Fail(const std::string& what, int errorNumber)
{
    return SetError(what + ": " + ErrnoText(errorNumber));
}

std::string PacedSerialLine::ErrnoText(int errorNumber)
{
    return std::system_category().message(errorNumber);
}

bool PacedSerialLine::SetError(const std::string& text)
{
    lastError_ = name_ + ": " + text;
    return false;
}

PacedSerialLine::Purged PacedSerialLine::PurgeOurs(std::uint32_t purgeBits)
{
    Purged purged;
    purged.input = (purgeBits & (kPurgeRxAbort | kPurgeRxClear)) != 0;
    purged.output = (purgeBits & (kPurgeTxAbort | kPurgeTxClear)) != 0;
    if (purged.input)
        filter_.ClearInput();
    if (purged.output) {
        filter_.ResumeOutput();
        pacer_.Forget();
    }
    return purged;
}

void PacedSerialLine::ApplySettings(const LineSettings& settings)
{
    settings_ = settings;
    pacer_ = LinePacer(settings.BaudRate, BitsPerCharacter(settings));
    filter_.Configure(settings);
}

} // namespace maroka::serial
