#pragma once

// A CNC control simulated on a pseudo-terminal: the far end of the line for
// the demo, the tests and for trying settings without a machine.
//
// One worker thread does all line I/O: it reads what the PC sends (blocking
// poll, never a spin), keeps the pace of the control with the steady clock,
// and answers with XON/XOFF as a control does. Any other thread may queue
// requests (cycle start, punch, command) and wait for what happened, with a
// time-out, through WaitUntil() and its shorthands.
//
// Received bytes: while a punch is queued or running, DC1 and DC3 (0x13 or
// 0x93) from the PC are its flow control and DC1/DC2 its start code; every
// other byte goes to the receive side. In memory mode the receive side reads
// it into the tape reader at once; in DNC mode it enters the buffer and is
// read into the tape reader at the control's pace. Every byte is also kept as
// it came, for byte-exact comparison.

#include "machine/lib/MachineConfig.h"
#include "machine/lib/MachinePty.h"
#include "machine/lib/ReceivedProgram.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace maroka::machine {

struct MachineReport {
    std::size_t bytesReceived = 0; // every byte read from the PC
    std::size_t bytesConsumed = 0; // DNC: bytes executed from the buffer
    std::size_t bytesSent = 0; // every byte written to the PC
    std::size_t bufferFill = 0; // DNC
    std::size_t maxBufferFill = 0; // DNC
    std::size_t programs = 0; // programs finished, however they ended
    std::size_t completePrograms = 0;
    std::size_t alarms = 0; // DNC overflow alarms; one lasts until the buffer is down to low water
    std::size_t lostBytes = 0; // DNC bytes that found the buffer full
    std::size_t xoffSent = 0;
    std::size_t xonSent = 0;
    std::size_t xoffReceived = 0; // from the PC while punching
    std::size_t xonReceived = 0;
    std::size_t cycleStartsSent = 0;
    std::size_t punchesQueued = 0; // every punch asked for, also the running and the finished
    std::size_t punchesDone = 0;
    std::size_t skippedBytes = 0; // bytes before a tape start that were not leader
    bool running = false;
    bool stoppedByAlarm = false;
    std::string failure; // why the line failed, empty while it works
};

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
    std::string SentBytes() const; // everything written to the PC
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
        std::chrono::milliseconds timeout, std::optional<std::chrono::milliseconds> cycleStartAfter = std::nullopt);

private:
    struct Request;
    struct WorkerState;

    void Enqueue(Request request);
    void Run();
    void Wake();

    const MachineConfig config_;
    MachinePty pty_;
    std::string devicePath_;
    int wakeFd_ = -1;
    int notifyFd_ = -1;
    std::mutex lifecycle_; // Stop() may come from several threads
    std::thread worker_;
    bool started_ = false;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopRequested_ = false;
    std::vector<Request> requests_;
    MachineReport report_;
    std::string received_;
    std::string consumed_;
    std::string sent_;
    std::vector<ReceivedProgram> programs_;
};

} // namespace maroka::machine
