#include "machine/lib/SimulatedMachine.h"

#include "machine/lib/TapeReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace maroka::machine {

using Clock = std::chrono::steady_clock;

namespace {

// The shortest wait between two looks at the clock: a control that consumes
// faster than this per character works in small batches instead of waking
// once a character.
constexpr std::chrono::microseconds kMinTick{ 500 };
// A punch held up longer than this (XOFF, a full line) does not catch up
// with a burst afterwards.
constexpr std::chrono::milliseconds kMaxCatchUp{ 20 };

void SignalFd(int fd)
{
    std::uint64_t one = 1;
    while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) { }
}

void DrainFd(int fd)
{
    std::uint64_t value = 0;
    while (::read(fd, &value, sizeof value) < 0 && errno == EINTR) { }
}

} // namespace

struct SimulatedMachine::Request {
    enum class Type {
        Byte,
        Punch,
    };
    Type type = Type::Byte;
    unsigned char byte = 0;
    bool cycleStart = false;
    PunchJob job;
};

// Everything only the worker touches.
struct SimulatedMachine::WorkerState {
    explicit WorkerState(const MachineConfig& config)
        : tape(config.mode == MachineMode::Memory && config.requireDc2)
        , period(
              std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / config.charsPerSecond)))
        , silence(config.silenceTimeout)
    {
        if (period <= Clock::duration::zero())
            period = Clock::duration(1);
    }

    TapeReader tape;
    Clock::duration period;
    std::chrono::milliseconds silence;
    Clock::time_point lastTapeByte{};

    // DNC buffer.
    std::deque<unsigned char> buffer;
    Clock::time_point nextConsume{};
    bool flowStopped = false; // our XOFF is out
    bool overflowing = false; // latched from an overflow until the buffer is down to low water

    // Output not yet written: control bytes go first and ignore the PC's XOFF.
    std::string urgent;
    std::string paced;
    std::vector<bool> urgentIsCycleStart;

    // Punches.
    std::deque<PunchJob> jobs;
    bool jobActive = false;
    PunchJob job;
    std::string stream;
    std::size_t streamPos = 0;
    bool punchStarted = false;
    bool startCodeSeen = false;
    bool pausedByPc = false;
    Clock::time_point startAt{};
    Clock::time_point nextSend{};
    std::optional<Clock::time_point> cycleStartAt;

    // Gathered between two publications.
    MachineReport report;
    std::string newReceived;
    std::string newConsumed;
    std::string newSent;
    bool dirty = false;
};

SimulatedMachine::SimulatedMachine(MachineConfig config)
    : config_(std::move(config))
{
}

SimulatedMachine::~SimulatedMachine()
{
    Close();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    if (notifyFd_ >= 0)
        ::close(notifyFd_);
}

bool SimulatedMachine::Start(std::string& error)
{
    if (started_) {
        error = "the machine was started before";
        return false;
    }
    error = ValidateConfig(config_);
    if (!error.empty())
        return false;
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    notifyFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0 || notifyFd_ < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    if (!pty_.Open(error))
        return false;
    devicePath_ = pty_.SlavePath();
    started_ = true;
    {
        std::lock_guard lock(mutex_);
        report_.running = true;
    }
    worker_ = std::thread([this] { Run(); });
    return true;
}

bool SimulatedMachine::CreateLink(const std::string& linkPath, std::string& error)
{
    return pty_.CreateLink(linkPath, error);
}

void SimulatedMachine::Stop()
{
    std::lock_guard lifecycle(lifecycle_);
    if (!worker_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    Wake();
    worker_.join();
}

void SimulatedMachine::Close()
{
    Stop();
    pty_.Close();
}

void SimulatedMachine::Wake()
{
    if (wakeFd_ >= 0)
        SignalFd(wakeFd_);
}

void SimulatedMachine::Enqueue(Request request)
{
    {
        std::lock_guard lock(mutex_);
        if (request.type == Request::Type::Punch)
            ++report_.punchesQueued;
        requests_.push_back(std::move(request));
    }
    Wake();
}

void SimulatedMachine::CycleStart()
{
    Request request;
    request.byte = config_.cycleStartByte;
    request.cycleStart = true;
    Enqueue(std::move(request));
}

void SimulatedMachine::SendByte(unsigned char byte)
{
    Request request;
    request.byte = byte;
    Enqueue(std::move(request));
}

void SimulatedMachine::Punch(PunchJob job)
{
    Request request;
    request.type = Request::Type::Punch;
    request.job = std::move(job);
    Enqueue(std::move(request));
}

void SimulatedMachine::SendCommand(const std::string& commandLine, std::chrono::milliseconds answerSilence)
{
    PunchJob job;
    job.data = CommandProgram(commandLine);
    job.answerSilence = answerSilence;
    Punch(std::move(job));
}

MachineReport SimulatedMachine::Report() const
{
    std::lock_guard lock(mutex_);
    return report_;
}

std::string SimulatedMachine::ReceivedBytes() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

std::string SimulatedMachine::ConsumedBytes() const
{
    std::lock_guard lock(mutex_);
    return consumed_;
}

std::string SimulatedMachine::SentBytes() const
{
    std::lock_guard lock(mutex_);
    return sent_;
}

std::vector<ReceivedProgram> SimulatedMachine::Programs() const
{
    std::lock_guard lock(mutex_);
    return programs_;
}

bool SimulatedMachine::WaitUntil(
    const std::function<bool(const MachineReport&)>& done, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(report_); });
}

bool SimulatedMachine::WaitReceived(std::size_t bytes, std::chrono::milliseconds timeout) const
{
    return WaitUntil([bytes](const MachineReport& r) { return r.bytesReceived >= bytes; }, timeout);
}

bool SimulatedMachine::WaitConsumed(std::size_t bytes, std::chrono::milliseconds timeout) const
{
    return WaitUntil([bytes](const MachineReport& r) { return r.bytesConsumed >= bytes; }, timeout);
}

bool SimulatedMachine::WaitPrograms(std::size_t count, std::chrono::milliseconds timeout) const
{
    return WaitUntil([count](const MachineReport& r) { return r.programs >= count; }, timeout);
}

bool SimulatedMachine::WaitAlarm(std::chrono::milliseconds timeout) const
{
    return WaitUntil([](const MachineReport& r) { return r.alarms > 0; }, timeout);
}

bool SimulatedMachine::WaitPunchesDone(std::chrono::milliseconds timeout) const
{
    return WaitUntil([](const MachineReport& r) { return r.punchesDone >= r.punchesQueued; }, timeout);
}

std::optional<ReceivedProgram> SimulatedMachine::RunCommand(const std::string& commandLine,
    std::chrono::milliseconds answerSilence, std::chrono::milliseconds timeout,
    std::optional<std::chrono::milliseconds> cycleStartAfter)
{
    std::size_t before = Report().programs;
    PunchJob job;
    job.data = CommandProgram(commandLine);
    job.answerSilence = answerSilence;
    job.cycleStartAfter = cycleStartAfter;
    Punch(std::move(job));
    if (!WaitPrograms(before + 1, timeout))
        return std::nullopt;
    std::lock_guard lock(mutex_);
    return programs_[before];
}

void SimulatedMachine::Run()
{
    WorkerState w(config_);
    w.report.running = true;
    const int fd = pty_.MasterFd();
    const bool dnc = config_.mode == MachineMode::Dnc;

    auto queueUrgent = [&w](unsigned char byte, bool cycleStart) {
        w.urgent.push_back(static_cast<char>(byte));
        w.urgentIsCycleStart.push_back(cycleStart);
    };

    auto feedTape = [&](unsigned char byte, Clock::time_point now) {
        w.tape.Feed(byte);
        w.lastTapeByte = now;
    };

    auto activateNextJob = [&](Clock::time_point now) {
        if (w.jobActive || w.jobs.empty())
            return;
        w.job = std::move(w.jobs.front());
        w.jobs.pop_front();
        w.jobActive = true;
        w.stream = BuildPunchStream(w.job);
        w.streamPos = 0;
        w.punchStarted = false;
        w.startCodeSeen = false;
        w.pausedByPc = false;
        w.startAt = now + w.job.startDelay;
    };

    auto receive = [&](unsigned char byte, Clock::time_point now) {
        bool punching = w.jobActive || !w.jobs.empty();
        if (punching) {
            if (byte == kDc3 || byte == kDc3High) {
                w.pausedByPc = true;
                ++w.report.xoffReceived;
                return;
            }
            if (byte == kDc1 || (byte == kDc2 && w.jobActive && w.job.waitForStart && !w.startCodeSeen)) {
                if (byte == kDc1) {
                    ++w.report.xonReceived;
                    if (w.pausedByPc)
                        w.nextSend = std::max(w.nextSend, now);
                    w.pausedByPc = false;
                }
                w.startCodeSeen = true;
                return;
            }
        }
        if (!dnc) {
            feedTape(byte, now);
            return;
        }
        if (w.buffer.size() >= config_.bufferSize) {
            ++w.report.lostBytes;
            if (!w.overflowing) {
                w.overflowing = true;
                ++w.report.alarms;
                if (config_.stopOnAlarm)
                    w.report.stoppedByAlarm = true;
            }
            return;
        }
        if (w.buffer.empty())
            w.nextConsume = std::max(w.nextConsume, now);
        w.buffer.push_back(byte);
        w.report.maxBufferFill = std::max(w.report.maxBufferFill, w.buffer.size());
        if (!w.flowStopped && w.buffer.size() >= config_.highWater) {
            w.flowStopped = true;
            ++w.report.xoffSent;
            queueUrgent(config_.xoffByte, false);
        }
    };

    auto consume = [&](Clock::time_point now) {
        while (!w.buffer.empty() && w.nextConsume <= now) {
            unsigned char byte = w.buffer.front();
            w.buffer.pop_front();
            w.newConsumed.push_back(static_cast<char>(byte));
            ++w.report.bytesConsumed;
            feedTape(byte, now);
            w.nextConsume += w.period;
            w.dirty = true;
            if (w.buffer.size() <= config_.lowWater)
                w.overflowing = false; // recovered: a new overflow is a new alarm
            if (w.flowStopped && w.buffer.size() <= config_.lowWater) {
                w.flowStopped = false;
                ++w.report.xonSent;
                queueUrgent(config_.xonByte, false);
            }
        }
    };

    auto punch = [&](Clock::time_point now) {
        activateNextJob(now);
        if (!w.jobActive)
            return;
        if (!w.punchStarted) {
            bool codeOk = !w.job.waitForStart || w.startCodeSeen;
            if (!codeOk || now < w.startAt)
                return;
            w.punchStarted = true;
            w.nextSend = now;
        }
        if (w.pausedByPc || !w.paced.empty())
            return;
        if (now - w.nextSend > kMaxCatchUp)
            w.nextSend = now;
        while (w.streamPos < w.stream.size() && w.nextSend <= now) {
            w.paced.push_back(w.stream[w.streamPos++]);
            w.nextSend += w.period;
        }
        if (w.streamPos == w.stream.size() && w.paced.empty()) {
            // Everything is on the line.
            w.jobActive = false;
            ++w.report.punchesDone;
            w.dirty = true;
            if (w.job.answerSilence.count() > 0)
                w.silence = w.job.answerSilence;
            if (w.job.cycleStartAfter)
                w.cycleStartAt = now + *w.job.cycleStartAfter;
            activateNextJob(now);
        }
    };

    auto tapeTimers = [&](Clock::time_point now) {
        if (w.tape.AfterClosingPercent() && now - w.lastTapeByte >= config_.tailGrace)
            w.tape.Finish(ProgramEnd::TailPercent);
        else if (!dnc && w.tape.InProgram() && w.silence.count() > 0 && now - w.lastTapeByte >= w.silence)
            w.tape.Finish(ProgramEnd::Silence);
    };

    // Writes what may go out now; false when the line failed.
    auto flush = [&]() -> bool {
        auto writeSome = [&](std::string& pending, bool urgent) -> bool {
            while (!pending.empty()) {
                ssize_t n = ::write(fd, pending.data(), pending.size());
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    if (errno == EAGAIN || errno == EWOULDBLOCK)
                        return true;
                    w.report.failure = std::string("write: ") + std::strerror(errno);
                    return false;
                }
                auto count = static_cast<std::size_t>(n);
                if (urgent) {
                    for (std::size_t i = 0; i < count; ++i) {
                        if (w.urgentIsCycleStart[i])
                            ++w.report.cycleStartsSent;
                    }
                    w.urgentIsCycleStart.erase(w.urgentIsCycleStart.begin(),
                        w.urgentIsCycleStart.begin() + static_cast<std::ptrdiff_t>(count));
                }
                w.newSent.append(pending, 0, count);
                w.report.bytesSent += count;
                pending.erase(0, count);
                w.dirty = true;
            }
            return true;
        };
        if (!writeSome(w.urgent, true))
            return false;
        if (w.urgent.empty() && !w.pausedByPc)
            return writeSome(w.paced, false);
        return true;
    };

    auto publish = [&](bool force) {
        std::vector<ReceivedProgram> finished = w.tape.TakeFinished();
        w.report.bufferFill = w.buffer.size();
        w.report.skippedBytes = w.tape.SkippedBytes();
        if (!finished.empty())
            w.dirty = true;
        if (!w.dirty && !force)
            return;
        {
            std::lock_guard lock(mutex_);
            std::size_t queued = report_.punchesQueued;
            for (ReceivedProgram& program : finished) {
                ++w.report.programs;
                if (program.Complete())
                    ++w.report.completePrograms;
                programs_.push_back(std::move(program));
            }
            report_ = w.report;
            report_.punchesQueued = queued;
            received_ += w.newReceived;
            consumed_ += w.newConsumed;
            sent_ += w.newSent;
        }
        w.newReceived.clear();
        w.newConsumed.clear();
        w.newSent.clear();
        w.dirty = false;
        changed_.notify_all();
        SignalFd(notifyFd_);
    };

    // Takes the queued requests; false once a stop was asked for.
    auto takeRequests = [&]() {
        std::lock_guard lock(mutex_);
        for (Request& request : requests_) {
            if (request.type == Request::Type::Punch)
                w.jobs.push_back(std::move(request.job));
            else
                queueUrgent(request.byte, request.cycleStart);
        }
        requests_.clear();
        activateNextJob(Clock::now());
        return !stopRequested_;
    };

    unsigned char input[4096];
    for (;;) {
        if (!takeRequests())
            break;

        Clock::time_point now = Clock::now();
        consume(now);
        punch(now);
        tapeTimers(now);
        if (w.cycleStartAt && *w.cycleStartAt <= now) {
            w.cycleStartAt.reset();
            queueUrgent(config_.cycleStartByte, true);
        }
        if (!flush() || w.report.stoppedByAlarm)
            break;
        publish(false);

        // Sleep until the next thing is due, the line has input or room, or
        // a request arrives.
        std::optional<Clock::time_point> due;
        auto dueAt = [&due](Clock::time_point t) {
            if (!due || t < *due)
                due = t;
        };
        if (!w.buffer.empty())
            dueAt(w.nextConsume);
        if (w.jobActive && !w.punchStarted && (!w.job.waitForStart || w.startCodeSeen))
            dueAt(w.startAt);
        if (w.jobActive && w.punchStarted && !w.pausedByPc && w.paced.empty())
            dueAt(w.nextSend);
        if (w.cycleStartAt)
            dueAt(*w.cycleStartAt);
        if (w.tape.AfterClosingPercent())
            dueAt(w.lastTapeByte + config_.tailGrace);
        else if (!dnc && w.tape.InProgram() && w.silence.count() > 0)
            dueAt(w.lastTapeByte + w.silence);

        pollfd fds[2] = {};
        fds[0].fd = fd;
        fds[0].events = POLLIN;
        if (!w.urgent.empty() || (!w.paced.empty() && !w.pausedByPc))
            fds[0].events |= POLLOUT;
        fds[1].fd = wakeFd_;
        fds[1].events = POLLIN;
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (due) {
            auto wait = std::max<Clock::duration>(*due - Clock::now(), kMinTick);
            auto secs = std::chrono::duration_cast<std::chrono::seconds>(wait);
            timeout.tv_sec = static_cast<time_t>(secs.count());
            timeout.tv_nsec
                = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wait - secs).count());
            timeoutPtr = &timeout;
        }
        int ready = ::ppoll(fds, 2, timeoutPtr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            w.report.failure = std::string("poll: ") + std::strerror(errno);
            break;
        }
        if (fds[1].revents & POLLIN)
            DrainFd(wakeFd_);
        // A punch asked for before the PC's start code must see that code.
        if (!takeRequests())
            break;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t n = ::read(fd, input, sizeof input);
            if (n > 0) {
                now = Clock::now();
                w.newReceived.append(reinterpret_cast<const char*>(input), static_cast<std::size_t>(n));
                w.report.bytesReceived += static_cast<std::size_t>(n);
                w.dirty = true;
                for (ssize_t i = 0; i < n; ++i)
                    receive(input[i], now);
                if (w.report.stoppedByAlarm) {
                    flush();
                    break;
                }
            } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                // We hold a slave open, so this is not the PC going away.
                w.report.failure = n == 0 ? "the line was hung up" : std::string("read: ") + std::strerror(errno);
                break;
            }
        }
    }

    w.tape.Finish(ProgramEnd::Stopped);
    w.report.running = false;
    w.dirty = true;
    publish(true);
}

} // namespace maroka::machine
