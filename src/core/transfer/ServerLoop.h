#pragma once

// The server mode of the transfer worker: wait for a command program from
// the machine, decide the command, carry it out, and go round again until
// Reset, closing, or a command reception that cannot use its file.
//
// A stop is looked at between the steps, so Reset ends the loop after the
// step that is running. The server shows no message boxes for its own
// failures: they go to the error log and the loop waits for the next command.

#include "core/mail/SendNotificationMail.h"
#include "core/transfer/ReceiveLoop.h"
#include "core/transfer/ServerCommand.h"
#include "core/transfer/WorkerEnvironment.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace maroka::transfer {

// What the server needs beyond an ordinary transfer.
struct ServerEnvironment {
    std::string commandFilePath; // COMNDFILE.<port>
    std::string errorLogPath;    // ERRLOGFILE.<port>, sent back on request
    // Sets the subject of the communication-log lines written from now on.
    std::function<void(const std::string& subject)> setCommLogSubject;
    // Sends the notification mail with this command text; the worker runs
    // it on the UI thread. Without it a mail command fails.
    std::function<mail::MailOutcome(const std::string& mailCommandText)> sendMail;
    // Lists a saved program under the received files (UI thread).
    std::function<void(const std::string& path)> receivedFileClosed;
};

class ServerLoop {
public:
    // Sends the file at `path` with the worker's send body; false when the
    // send could not start.
    using SendBody = std::function<bool(const std::string& path, bool skipCycleStartWait)>;

    ServerLoop(WorkerEnvironment& env, ServerEnvironment server, SendBody sendBody);
    ~ServerLoop();
    ServerLoop(const ServerLoop&) = delete;
    ServerLoop& operator=(const ServerLoop&) = delete;

    // Runs until stopped; closes what it opened on the way out.
    void Run();

    // 0 no step, 1 waiting for a command, 2 sending, 3 receiving a save.
    int ServerStep() const { return serverStep_; }
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
    void SendMail();
    void DeleteFile();
    void RenameFile();
    void Refuse();
    std::optional<std::vector<std::string>> ErrorLogLines() const;
    void Show(const char* box, const char* status);
    void ClearDisplay();
    void CleanUp();

    WorkerEnvironment& env_;
    ServerEnvironment server_;
    SendBody sendBody_;
    CommandWords words_;
    ServerFolder folder_;
    ReceiveContext receive_;
    CommandAnalysis analysis_;
    int serverStep_ = 0;
    bool commandFileFault_ = false;
    bool cleanedUp_ = false;
};

} // namespace maroka::transfer
