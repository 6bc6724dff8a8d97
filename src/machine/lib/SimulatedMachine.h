#pragma once

// A CNC control simulated on a pseudo-terminal: the far end of the line for
// the demo, the tests and for trying settings without a machine.
//
// One worker thread (MachineWorker) does all line I/O at the pace of a true
// wire; any other thread may queue requests (cycle start, punch, command)
// and wait for what happened, with a time-out, through WaitUntil() and its
// shorthands.

#include "machine/lib/MachineConfig.h"
#include "machine/lib/MachinePty.h"
#include "machine/lib/MachineReport.h"
#include "machine/lib/MachineShared.h"
#include "machine/lib/ReceivedProgram.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace maroka::machine {

class SimulatedMachine {
public:
    explicit SimulatedMachine(MachineConfig config = {});
    ~SimulatedMachine();
    SimulatedMachine(const SimulatedMachine&) = delete;
    SimulatedMachine& operator=(const SimulatedMachine&) = delete;

    // Creates the pseudo-terminal and starts the worker; once per object.
    bool Start(std::string& error);
    // Adds a stable symbolic link to the device (after Start).
    bool CreateLink(const std::string& linkPath, std::string& error);
    // Ends the worker; the line stays open, the PC sees nothing.
    void Stop();
    // Waits, at most `limit`, until the PC has read every byte sent to it.
    void WaitSentTaken(std::chrono::milliseconds limit) const { pty_.WaitOutputTaken(limit); }
    // Ends the worker and closes the line: the PC side reads EIO/HUP.
    // Not while another thread calls Start() or CreateLink().
    void Close();

    // The path the PC opens, e.g. /dev/pts/7.
    const std::string& DevicePath() const { return devicePath_; }
    const MachineConfig& Config() const { return config_; }
    // An eventfd that becomes readable whenever the report changes.
    int NotifyFd() const { return notifyFd_; }

    // Requests, carried out by the worker in the order given.
    void CycleStart();
    void SendByte(unsigned char byte);
    void Punch(PunchJob job);
    // Punches CommandProgram(commandLine) and then reads the PC's reply; a
    // reply tape that stalls for `answerSilence` is finished as cut off.
    void SendCommand(const std::string& commandLine, std::chrono::milliseconds answerSilence);

    // Snapshots.
    MachineReport Report() const;
    std::string ReceivedBytes() const; // raw, as read from the line
    std::string ConsumedBytes() const; // DNC: in the order executed
    std::string SentBytes() const;     // everything written to the PC
    std::vector<ReceivedProgram> Programs() const;

    // Blocks until `done` holds for the report, or `timeout` passes (false).
    bool WaitUntil(const std::function<bool(const MachineReport&)>& done, std::chrono::milliseconds timeout) const;
    bool WaitReceived(std::size_t bytes, std::chrono::milliseconds timeout) const;
    bool WaitConsumed(std::size_t bytes, std::chrono::milliseconds timeout) const;
    bool WaitPrograms(std::size_t count, std::chrono::milliseconds timeout) const;
    bool WaitAlarm(std::chrono::milliseconds timeout) const;
    bool WaitPunchesDone(std::chrono::milliseconds timeout) const;

    // SendCommand, then waits for the reply program; nullopt on time-out.
    // A PC that waits for cycle start before answering needs CycleStart()
    // from another thread, or `cycleStartAfter`.
    std::optional<ReceivedProgram> RunCommand(const std::string& commandLine, std::chrono::milliseconds answerSilence,
                                              std::chrono::milliseconds timeout,
                                              std::optional<std::chrono::milliseconds> cycleStartAfter = std::nullopt);

private:
    void Enqueue(MachineRequest request);
    void Wake();

    const MachineConfig config_;
    MachinePty pty_;
    std::string devicePath_;
    int wakeFd_ = -1;
    int notifyFd_ = -1;
    std::mutex lifecycle_; // Stop() may come from several threads
    std::thread worker_;
    bool started_ = false;

    mutable MachineShared shared_;
};

} // namespace maroka::machine
