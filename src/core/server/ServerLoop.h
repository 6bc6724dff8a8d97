#pragma once

// The server mode of the transfer worker: wait for a command program from
// the machine, decide the command, carry it out, and go round again until
// Reset, closing, or a command reception that cannot use its file.
//
// A stop is looked at between the steps, so Reset ends the loop after the
// step that is running. The server shows no message boxes for its own
// failures: they go to the error log and the loop waits for the next command.

#include "core/mail/SendNotificationMail.h"
#include "core/server/ServerCommand.h"
#include "core/transfer/ReceiveLoop.h"
#include "core/transfer/WorkerEnvironment.h"
#include "core/transfer/WorkerLog.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace maroka::server {

// What the server needs beyond an ordinary transfer.
struct ServerEnvironment {
    std::string commandFilePath; // COMNDFILE.<port>
    // The two logs of the port. The server writes them itself, since the
    // subject of its communication-log lines changes with every step.
    std::string commLogPath;  // LOGFILE.<port>
    std::string errorLogPath; // ERRLOGFILE.<port>, also sent back on request
    // Sends the notification mail with this command text; the worker runs
    // it on the UI thread. Without it a mail command fails.
    std::function<mail::MailOutcome(const std::string& mailCommandText)> sendMail;
    // Told (on the worker) why the loop gave up on its own: the line failed
    // or the command file cannot be created. Never called for a stop.
    std::function<void(const std::string& reason)> reportFailure;
};

class ServerLoop {
public:
    // Sends the file at `path` with the worker's send body; false when the
    // send could not start.
    using SendBody = std::function<bool(const std::string& path, bool skipCycleStartWait)>;

    // `receive` is the worker's reception, closed by the worker's clean-up
    // if the loop leaves a file open; its received-file sink lists saves.
    ServerLoop(transfer::WorkerEnvironment& env, transfer::ReceiveContext& receive, ServerEnvironment server,
               SendBody sendBody);
    ~ServerLoop();
    ServerLoop(const ServerLoop&) = delete;
    ServerLoop& operator=(const ServerLoop&) = delete;

    // Runs until stopped; closes what it opened on the way out.
    void Run();

    // 0 no step, 1 waiting for a command, 2 sending, 3 receiving a save.
    transfer::ServerStep Step() const { return serverStep_; }
    bool CommandFileFault() const { return commandFileFault_; }

private:
    bool Stopped() const;
    void SetSubject(const std::string& subject);
    bool ReceiveCommand();
    void AnalyseCommand();
    bool ReadCommandFile(std::string& bytes);
    void CarryOutCommand();
    void SendReply();
    void SendCalledFile();
    void ReceiveSavedFile();
    // A save whose file failed: the rest of the machine's program is taken
    // off the line (all of it when none was read yet) and thrown away.
    void DiscardProgram(bool nothingReadYet);
    void DrainRest();
    void SendMail();
    void DeleteFile();
    void RenameFile();
    void Refuse();
    std::optional<std::vector<std::string>> ErrorLogLines() const;
    void Show(const char* box, const char* status);
    void ReportFolderOutcome(ServerFolder::Outcome outcome, std::string_view notFoundWord, std::string_view failedWord,
                             const char* doneBox, const char* doneStatus, const char* notFoundBox,
                             const char* failedBox, const char* failedStatus);
    void ClearDisplay();
    void Finish();

    transfer::WorkerEnvironment& env_;
    transfer::ReceiveContext& receive_;
    ServerEnvironment server_;
    SendBody sendBody_;
    CommandWords words_;
    ServerFolder folder_;
    std::function<void(const std::string&)> receivedFileSink_;
    std::shared_ptr<transfer::WorkerLog> log_;
    std::shared_ptr<transfer::TransferLog> previousLog_;
    CommandAnalysis analysis_;
    transfer::ServerStep serverStep_ = transfer::ServerStep::None;
    bool commandFileFault_ = false;
    bool finished_ = false;
};

} // namespace maroka::server
