#include "machine/lib/MachineWorker.h"

#include "core/text/ControlCodes.h"
#include "machine/lib/EventFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace maroka::machine {

namespace {

// The shortest sleep of the loop: a fast line or control is handled in
// batches of this much time instead of waking once a character. Event times
// keep the batches exact.
constexpr std::chrono::milliseconds kTick{1};
// A punch goes on only while the PC takes what is on its way: the
// pseudo-terminal holds the rest, and a PC that stops reading holds the
// punch instead of filling the machine's memory.
constexpr std::size_t kMaxUnwritten = 4096;

// A real control never waits for a processor: a machine thread that runs
// late sends its XOFF late and lets the PC overrun a buffer that a control
// would have stopped in time. So the thread asks for real-time priority, or
// failing that a higher share; without either (no privilege) it runs as it
// is, and a loaded host can then make it harsher than a control.
void RunAsPromptlyAsAllowed()
{
    sched_param param{};
    param.sched_priority = 10;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
        return;
    static_cast<void>(setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10));
}

void Earliest(std::optional<Clock::time_point>& due, Clock::time_point t)
{
    if (!due || t < *due)
        due = t;
}

} // namespace

MachineWorker::MachineWorker(const MachineConfig& config, int lineFd, int wakeFd, int notifyFd, MachineShared& shared)
    : config_(config), dnc_(config.mode == MachineMode::Dnc), fd_(lineFd), wakeFd_(wakeFd), notifyFd_(notifyFd),
      shared_(shared), tape_(config.mode == MachineMode::Memory && config.requireDc2), silence_(config.silenceTimeout),
      wire_(CharacterTime(config.lineCharsPerSecond)), control_(config, *this),
      outChar_(CharacterTime(config.lineCharsPerSecond))
{
    report_.running = true;
}

void MachineWorker::Run()
{
    RunAsPromptlyAsAllowed();
    for (;;) {
        Clock::time_point now = Clock::now();
        if (!TakeRequests(now) || !Receive(now))
            break;
        Consume(now);
        Timers(now);
        Transmit(now);
        if (config_.stopOnAlarm && control_.Overflowed())
            report_.stoppedByAlarm = true;
        if (!Flush(now) || report_.stoppedByAlarm)
            break;
        Publish(false, now);
        if (!Sleep(now))
            break;
    }
    tape_.Finish(ProgramEnd::Stopped);
    report_.running = false;
    Publish(true, Clock::now());
}

bool MachineWorker::TakeRequests(Clock::time_point now)
{
    std::lock_guard lock(shared_.mutex);
    for (MachineRequest& request : shared_.requests) {
        if (request.type == MachineRequest::Type::Punch)
            jobs_.push_back(std::move(request.job));
        else
            Queue(request.byte, now, request.cycleStart ? OutKind::CycleStart : OutKind::Plain);
    }
    shared_.requests.clear();
    ActivateNextJob(now);
    return !shared_.stopRequested;
}

bool MachineWorker::Receive(Clock::time_point now)
{
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
        Fail(std::string("FIONREAD: ") + std::strerror(errno));
        return false;
    }
    // Readable without a byte to read: never spin on it.
    idleReadable_ = inputSignalled_ && waiting <= 0;
    const std::size_t carried = wire_.Look(now, static_cast<std::size_t>(std::max(waiting, 0)));
    input_.resize(carried);
    std::size_t taken = 0;
    while (taken < carried) {
        ssize_t n = ::read(fd_, input_.data() + taken, carried - taken);
        if (n > 0) {
            taken += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            // We hold a slave open, so this is not the PC going away.
            Fail(n == 0 ? "the line was hung up" : std::string("read: ") + std::strerror(errno));
            return false;
        }
    }
    arrivals_.clear();
    wire_.Took(taken, static_cast<std::size_t>(waiting) - taken, arrivals_);
    report_.wireBacklog = wire_.Waiting();
    report_.maxWireBacklog = std::max(report_.maxWireBacklog, report_.wireBacklog);
    if (taken == 0)
        return true;
    newReceived_.append(input_, 0, taken);
    report_.bytesReceived += taken;
    dirty_ = true;
    for (std::size_t i = 0; i < taken; ++i) {
        Consume(arrivals_[i]);
        Transmit(arrivals_[i]);
        Arrive(static_cast<unsigned char>(input_[i]), arrivals_[i]);
    }
    return true;
}

void MachineWorker::Arrive(unsigned char byte, Clock::time_point at)
{
    const bool punching = jobActive_ || !jobs_.empty();
    if (punching) {
        if (byte == text::kXoff13 || byte == text::kXoff93) {
            pausedByPc_ = true;
            ++report_.xoffReceived;
            return;
        }
        if (byte == text::kDc1 || (byte == text::kDc2 && jobActive_ && job_.waitForStart && !startCodeAt_)) {
            if (byte == text::kDc1) {
                ++report_.xonReceived;
                if (pausedByPc_)
                    punchReadyAt_ = at;
                pausedByPc_ = false;
            }
            if (!startCodeAt_)
                startCodeAt_ = at;
            return;
        }
    }
    if (!dnc_) {
        FeedTape(byte, at);
        return;
    }
    if (xoffReachedPcAt_ && at > *xoffReachedPcAt_) {
        ++afterXoff_;
        report_.maxAfterXoff = std::max(report_.maxAfterXoff, afterXoff_);
    }
    control_.Arrive(byte, at, wire_.BusySince());
}

void MachineWorker::Consume(Clock::time_point until)
{
    if (dnc_)
        control_.RunUntil(until);
}

void MachineWorker::Execute(unsigned char byte, Clock::time_point at)
{
    newConsumed_.push_back(static_cast<char>(byte));
    FeedTape(byte, at);
    dirty_ = true;
}

void MachineWorker::SendFlow(unsigned char byte, Clock::time_point at)
{
    if (byte == config_.xoffByte) {
        Queue(byte, at, OutKind::Xoff);
    } else {
        xoffReachedPcAt_.reset();
        Queue(byte, at, OutKind::Plain);
    }
}

void MachineWorker::FeedTape(unsigned char byte, Clock::time_point at)
{
    tape_.Feed(byte);
    lastTapeByte_ = at;
}

void MachineWorker::Queue(unsigned char byte, Clock::time_point at, OutKind kind)
{
    urgent_.push_back({byte, at, kind});
}

void MachineWorker::ActivateNextJob(Clock::time_point now)
{
    if (jobActive_ || jobs_.empty())
        return;
    job_ = std::move(jobs_.front());
    jobs_.pop_front();
    jobActive_ = true;
    stream_ = BuildPunchStream(job_);
    streamPos_ = 0;
    punchStarted_ = false;
    startCodeAt_.reset();
    pausedByPc_ = false;
    startAt_ = now + job_.startDelay;
}

void MachineWorker::StartPunchWhenAllowed()
{
    if (!jobActive_ || punchStarted_ || (job_.waitForStart && !startCodeAt_))
        return;
    punchStarted_ = true;
    punchReadyAt_ = job_.waitForStart ? std::max(startAt_, *startCodeAt_) : startAt_;
}

bool MachineWorker::PunchReady() const
{
    return jobActive_ && punchStarted_ && !pausedByPc_ && !punchHeld_ && streamPos_ < stream_.size();
}

void MachineWorker::FinishPunch(Clock::time_point at)
{
    // Everything is on the line.
    jobActive_ = false;
    ++report_.punchesDone;
    dirty_ = true;
    if (job_.answerSilence.count() > 0)
        silence_ = job_.answerSilence;
    if (job_.cycleStartAfter)
        cycleStartAt_ = at + *job_.cycleStartAfter;
    ActivateNextJob(at);
}

std::optional<Clock::time_point> MachineWorker::NextTransmitStart() const
{
    std::optional<Clock::time_point> start;
    if (!urgent_.empty())
        start = std::max(lineFree_, urgent_.front().at);
    if (PunchReady())
        Earliest(start, std::max(lineFree_, punchReadyAt_));
    return start;
}

void MachineWorker::Transmit(Clock::time_point until)
{
    for (;;) {
        StartPunchWhenAllowed();
        if (jobActive_ && punchStarted_ && streamPos_ == stream_.size()) {
            FinishPunch(std::max(lineFree_, punchReadyAt_));
            continue;
        }
        if (unwritten_.size() >= kMaxUnwritten)
            punchHeld_ = jobActive_ && punchStarted_;
        std::optional<Clock::time_point> start = NextTransmitStart();
        if (!start || *start + outChar_ > until)
            return;
        // Control bytes go before the punch when both could start.
        if (!urgent_.empty() && std::max(lineFree_, urgent_.front().at) == *start) {
            const OutByte out = urgent_.front();
            urgent_.pop_front();
            lineFree_ = *start + outChar_;
            if (out.kind == OutKind::CycleStart)
                cycleStartNumbers_.push_back(transmitted_);
            if (out.kind == OutKind::Xoff) {
                xoffReachedPcAt_ = lineFree_;
                afterXoff_ = 0;
            }
            unwritten_.push_back(static_cast<char>(out.byte));
            ++transmitted_;
            continue;
        }
        // A run of punch bytes, up to `until` or the next control byte.
        auto end = until;
        if (!urgent_.empty())
            end = std::min(end, std::max(urgent_.front().at, *start + outChar_));
        std::size_t count = static_cast<std::size_t>((end - *start) / outChar_);
        count = std::min({std::max<std::size_t>(count, 1), stream_.size() - streamPos_,
                          kMaxUnwritten - std::min(kMaxUnwritten - 1, unwritten_.size())});
        unwritten_.append(stream_, streamPos_, count);
        streamPos_ += count;
        transmitted_ += count;
        lineFree_ = *start + outChar_ * static_cast<long long>(count);
    }
}

void MachineWorker::Timers(Clock::time_point now)
{
    if (tape_.AfterClosingPercent() && now - lastTapeByte_ >= config_.tailGrace)
        tape_.Finish(ProgramEnd::TailPercent);
    else if (!dnc_ && tape_.InProgram() && silence_.count() > 0 && now - lastTapeByte_ >= silence_)
        tape_.Finish(ProgramEnd::Silence);
    if (cycleStartAt_ && *cycleStartAt_ <= now) {
        Queue(config_.cycleStartByte, *cycleStartAt_, OutKind::CycleStart);
        cycleStartAt_.reset();
    }
}

bool MachineWorker::Flush(Clock::time_point now)
{
    while (!unwritten_.empty()) {
        ssize_t n = ::write(fd_, unwritten_.data(), unwritten_.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            Fail(std::string("write: ") + std::strerror(errno));
            return false;
        }
        auto count = static_cast<std::size_t>(n);
        written_ += count;
        while (!cycleStartNumbers_.empty() && cycleStartNumbers_.front() < written_) {
            cycleStartNumbers_.pop_front();
            ++report_.cycleStartsSent;
        }
        newSent_.append(unwritten_, 0, count);
        report_.bytesSent += count;
        unwritten_.erase(0, count);
        dirty_ = true;
    }
    if (punchHeld_ && unwritten_.size() < kMaxUnwritten / 2) {
        // The line stood still while the PC did not read; no burst to catch up.
        punchHeld_ = false;
        punchReadyAt_ = std::max(punchReadyAt_, now);
    }
    return true;
}

void MachineWorker::Publish(bool force, Clock::time_point now)
{
    std::vector<ReceivedProgram> finished = tape_.TakeFinished();
    report_.skippedBytes = tape_.SkippedBytes();
    if (dnc_) {
        const ControlFigures& f = control_.Figures();
        report_.bytesConsumed = f.executed;
        report_.bufferFill = control_.Fill();
        report_.maxBufferFill = f.maxFill;
        report_.alarms = f.alarms;
        report_.lostBytes = f.lostBytes;
        report_.xoffSent = f.xoffSent;
        report_.xonSent = f.xonSent;
        report_.starvedSeconds = Seconds(control_.StarvedUntil(now));
        if (f.firstArrival && f.lastExecution) {
            const auto firstBitSent = *f.firstArrival - outChar_;
            const auto lastDone = *f.lastExecution + CharacterTime(ExecCharsPerSecond(config_));
            report_.feedSeconds = Seconds(lastDone - firstBitSent);
        }
    }
    if (!dirty_ && !force && finished.empty())
        return;
    {
        std::lock_guard lock(shared_.mutex);
        const std::size_t queued = shared_.report.punchesQueued;
        for (ReceivedProgram& program : finished) {
            ++report_.programs;
            if (program.Complete())
                ++report_.completePrograms;
            shared_.programs.push_back(std::move(program));
        }
        shared_.report = report_;
        shared_.report.punchesQueued = queued;
        shared_.received += newReceived_;
        shared_.consumed += newConsumed_;
        shared_.sent += newSent_;
    }
    newReceived_.clear();
    newConsumed_.clear();
    newSent_.clear();
    dirty_ = false;
    shared_.changed.notify_all();
    SignalEventFd(notifyFd_);
}

std::optional<Clock::time_point> MachineWorker::NextDue() const
{
    std::optional<Clock::time_point> due;
    if (wire_.Busy())
        Earliest(due, wire_.NextArrival());
    if (dnc_ && control_.Fill() > 0)
        Earliest(due, control_.NextExecution());
    if (auto start = NextTransmitStart())
        Earliest(due, *start + outChar_);
    if (cycleStartAt_)
        Earliest(due, *cycleStartAt_);
    if (tape_.AfterClosingPercent())
        Earliest(due, lastTapeByte_ + config_.tailGrace);
    else if (!dnc_ && tape_.InProgram() && silence_.count() > 0)
        Earliest(due, lastTapeByte_ + silence_);
    return due;
}

bool MachineWorker::Sleep(Clock::time_point now)
{
    pollfd fds[2] = {};
    fds[0].fd = fd_;
    // While bytes wait on the wire the clock says when to look again.
    const bool watchInput = !wire_.Busy() && !idleReadable_;
    fds[0].events = static_cast<short>((watchInput ? POLLIN : 0) | (unwritten_.empty() ? 0 : POLLOUT));
    fds[1].fd = wakeFd_;
    fds[1].events = POLLIN;
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    std::optional<Clock::time_point> due = NextDue();
    if (!watchInput && !wire_.Busy())
        Earliest(due, now + kTick);
    if (due) {
        auto wait = std::max<Clock::duration>(*due - now, kTick);
        auto secs = std::chrono::duration_cast<std::chrono::seconds>(wait);
        timeout.tv_sec = static_cast<time_t>(secs.count());
        timeout.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wait - secs).count());
        timeoutPtr = &timeout;
    }
    if (::ppoll(fds, 2, timeoutPtr, nullptr) < 0 && errno != EINTR) {
        Fail(std::string("poll: ") + std::strerror(errno));
        return false;
    }
    inputSignalled_ = (fds[0].revents & POLLIN) != 0;
    if (fds[1].revents & POLLIN)
        DrainEventFd(wakeFd_);
    if (fds[0].revents & (POLLHUP | POLLERR)) {
        Fail("the line was hung up");
        return false;
    }
    return true;
}

void MachineWorker::Fail(const std::string& what)
{
    report_.failure = what;
    dirty_ = true;
}

} // namespace maroka::machine
