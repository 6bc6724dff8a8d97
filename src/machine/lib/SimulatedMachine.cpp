#include "machine/lib/SimulatedMachine.h"

#include "machine/lib/EventFd.h"
#include "machine/lib/MachineWorker.h"

#include <cerrno>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

namespace maroka::machine {

SimulatedMachine::SimulatedMachine(MachineConfig config) : config_(std::move(config)) {}

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
        std::lock_guard lock(shared_.mutex);
        shared_.report.running = true;
    }
    worker_ = std::thread([this] { MachineWorker(config_, pty_.MasterFd(), wakeFd_, notifyFd_, shared_).Run(); });
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
        std::lock_guard lock(shared_.mutex);
        shared_.stopRequested = true;
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
        SignalEventFd(wakeFd_);
}

void SimulatedMachine::Enqueue(MachineRequest request)
{
    {
        std::lock_guard lock(shared_.mutex);
        if (request.type == MachineRequest::Type::Punch)
            ++shared_.report.punchesQueued;
        shared_.requests.push_back(std::move(request));
    }
    Wake();
}

void SimulatedMachine::CycleStart()
{
    MachineRequest request;
    request.byte = config_.cycleStartByte;
    request.cycleStart = true;
    Enqueue(std::move(request));
}

void SimulatedMachine::SendByte(unsigned char byte)
{
    MachineRequest request;
    request.byte = byte;
    Enqueue(std::move(request));
}

void SimulatedMachine::Punch(PunchJob job)
{
    MachineRequest request;
    request.type = MachineRequest::Type::Punch;
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
    std::lock_guard lock(shared_.mutex);
    return shared_.report;
}

std::string SimulatedMachine::ReceivedBytes() const
{
    std::lock_guard lock(shared_.mutex);
    return shared_.received;
}

std::string SimulatedMachine::ConsumedBytes() const
{
    std::lock_guard lock(shared_.mutex);
    return shared_.consumed;
}

std::string SimulatedMachine::SentBytes() const
{
    std::lock_guard lock(shared_.mutex);
    return shared_.sent;
}

std::vector<ReceivedProgram> SimulatedMachine::Programs() const
{
    std::lock_guard lock(shared_.mutex);
    return shared_.programs;
}

bool SimulatedMachine::WaitUntil(const std::function<bool(const MachineReport&)>& done,
                                 std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(shared_.mutex);
    return shared_.changed.wait_for(lock, timeout, [&] { return done(shared_.report); });
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
                                                            std::chrono::milliseconds answerSilence,
                                                            std::chrono::milliseconds timeout,
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
    std::lock_guard lock(shared_.mutex);
    return shared_.programs[before];
}

} // namespace maroka::machine
