#include "core/server/ServerLoop.h"

#include "core/logs/LogMessages.h"
#include "core/logs/LogWriter.h"
#include "core/platform/FileBytes.h"
#include "core/prepare/PrepareMessages.h"
#include "core/server/LineDrain.h"
#include "core/server/ReplyProgram.h"
#include "core/server/ServerMessages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace maroka::server {

namespace {

// With a command file that cannot be used the loop has nothing to do but
// wait for Reset; it does so without spinning.
constexpr std::chrono::milliseconds kFaultPause{500};

std::string FileNameOf(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return out.good();
}

} // namespace

ServerLoop::ServerLoop(transfer::WorkerEnvironment& env, transfer::ReceiveContext& receive, ServerEnvironment server,
                       SendBody sendBody)
    : env_(env), receive_(receive), server_(std::move(server)), sendBody_(std::move(sendBody)),
      words_(CommandWords::FromSettings(env.settings)), folder_(env.settings.serverFolder),
      receivedFileSink_(receive.receivedFileClosed)
{
    if (!server_.commLogPath.empty() || !server_.errorLogPath.empty()) {
        log_ = std::make_shared<transfer::WorkerLog>(server_.commLogPath, server_.errorLogPath, env_.settings);
        previousLog_ = env_.log;
        env_.log = log_;
    }
}

ServerLoop::~ServerLoop()
{
    Finish();
}

bool ServerLoop::Stopped() const
{
    return env_.flags.quitRequested || env_.flags.stopRequested || env_.flags.closing;
}

void ServerLoop::SetSubject(const std::string& subject)
{
    if (log_)
        log_->SetSubject(subject);
}

void ServerLoop::Show(const char* box, const char* status)
{
    env_.ui.ShowFileName(box);
    env_.ui.ShowStatus(status);
}

void ServerLoop::ClearDisplay()
{
    env_.ui.ShowFileName({});
    env_.ui.ClearDataView();
    env_.ui.SetProgress(0, 100);
    env_.ui.ShowStatus({});
}

void ServerLoop::Run()
{
    while (!Stopped()) {
        analysis_ = {};
        serverStep_ = transfer::ServerStep::Command;
        env_.displayName = msg::kBoxCommand;
        SetSubject(std::string(logs::msg::kCommandSubject));

        if (!commandFileFault_ && !ReceiveCommand()) {
            if (!Stopped() && server_.reportFailure)
                server_.reportFailure(receive_.lineFailed
                                          ? "the line failed: " + env_.line->LastError()
                                          : "cannot create the command file " + server_.commandFilePath);
            break;
        }
        if (Stopped())
            break;
        if (!commandFileFault_ && receive_.writeFailed) {
            // The command file went away or filled up under the reception;
            // the next round creates it again.
            env_.log->ErrorLog(msg::kErrCantWriteCommandFile);
            DrainRest();
            ClearDisplay();
            continue;
        }
        if (!commandFileFault_)
            AnalyseCommand();
        if (Stopped())
            break;
        if (!commandFileFault_)
            CarryOutCommand();
        if (Stopped())
            break;
        ClearDisplay();
        if (commandFileFault_)
            env_.flags.SleepUnlessStopped(kFaultPause);
    }
    Finish();
}

bool ServerLoop::ReceiveCommand()
{
    receive_.mode = transfer::TransferMode::Server;
    receive_.serverStep = transfer::ServerStep::Command;
    receive_.transferFilePath = server_.commandFilePath;
    receive_.receivedFileClosed = nullptr;
    return transfer::RunReceive(env_, receive_);
}

bool ServerLoop::ReadCommandFile(std::string& bytes)
{
    const int fd = ::open(server_.commandFilePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // Someone removed the file between the reception and now; the next
        // command reception creates it again, so this is no lasting fault.
        env_.log->ErrorLog(std::string(logs::msg::kErrCantOpenCommandFile));
        return false;
    }
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    if (::close(fd) != 0) {
        env_.log->ErrorLog(std::string(logs::msg::kErrCantCloseCommandFile));
        commandFileFault_ = true;
    }
    return true;
}

void ServerLoop::AnalyseCommand()
{
    std::string bytes;
    if (!ReadCommandFile(bytes))
        return;
    env_.ui.ClearDataView();
    Show(msg::kBoxAnalysing, msg::kStatusAnalysing);
    SetSubject(msg::kSubjectNoCommand);

    analysis_ = server::AnalyseCommand(bytes, words_, folder_);
    for (int i = 0; i < analysis_.unclosedComments; ++i)
        env_.ShowError(prepare::msg::kUnclosedComment);
    if (!analysis_.kindBox.empty())
        env_.ui.ShowFileName(analysis_.kindBox);

    Show(msg::kBoxAnalysed, msg::kStatusAnalysed);
    SetSubject(analysis_.commLogSubject);
    env_.log->CommLog(msg::kLogAnalysed);
}

void ServerLoop::CarryOutCommand()
{
    switch (analysis_.command) {
    case ServerCommand::None:
        break;
    case ServerCommand::CallWithoutName:
    case ServerCommand::FileList:
    case ServerCommand::CallNotFound:
    case ServerCommand::ErrorLog:
        SendReply();
        break;
    case ServerCommand::Call:
        SendCalledFile();
        break;
    case ServerCommand::Save:
        ReceiveSavedFile();
        break;
    case ServerCommand::Mail:
        SendMail();
        break;
    case ServerCommand::Delete:
        DeleteFile();
        break;
    case ServerCommand::Rename:
        RenameFile();
        break;
    case ServerCommand::Refused:
        Refuse();
        break;
    }
    analysis_.replyText.clear();
    analysis_.command = ServerCommand::None;
}

std::optional<std::vector<std::string>> ServerLoop::ErrorLogLines() const
{
    if (!platform::IsFile(server_.errorLogPath))
        return std::nullopt;
    return platform::ReadFileLines(server_.errorLogPath);
}

void ServerLoop::SendReply()
{
    const std::vector<std::string> files =
        analysis_.command == ServerCommand::FileList ? folder_.ListFiles() : std::vector<std::string>{};
    const auto errorLog = analysis_.command == ServerCommand::ErrorLog ? ErrorLogLines() : std::nullopt;
    const auto reply = BuildReplyProgram(analysis_, files, errorLog);
    if (!reply)
        return;
    if (!WriteWholeFile(server_.commandFilePath, reply->Bytes())) {
        env_.log->ErrorLog(msg::kErrReplyWriteFailed);
        return;
    }
    env_.displayName = reply->displayName;
    SetSubject(reply->commLogSubject);
    if (!reply->errorLogWord.empty())
        env_.log->ErrorLog(reply->errorLogWord);
    serverStep_ = transfer::ServerStep::Send;
    sendBody_(server_.commandFilePath, analysis_.skipCycleStartWait);
}

void ServerLoop::SendCalledFile()
{
    env_.displayName = FileNameOf(analysis_.calledFilePath);
    SetSubject(analysis_.calledFilePath);
    serverStep_ = transfer::ServerStep::Send;
    sendBody_(analysis_.calledFile, analysis_.skipCycleStartWait);
}

void ServerLoop::ReceiveSavedFile()
{
    serverStep_ = transfer::ServerStep::Save;
    receive_.mode = transfer::TransferMode::Server;
    receive_.serverStep = transfer::ServerStep::Save;
    receive_.receivedFileClosed = nullptr;

    const ServerFolder::Created created = folder_.CreateUniqueFile(FileNameOf(analysis_.saveFilePath));
    analysis_.saveFilePath = folder_.PathOf(created.name);
    env_.displayName = created.name;
    SetSubject(analysis_.saveFilePath);
    if (created.error != 0) {
        env_.log->ErrorLog(msg::kErrCantCreateSaveFile);
        DiscardProgram(true);
        return;
    }

    receive_.transferFilePath = analysis_.saveFilePath;
    const bool closed = transfer::RunReceive(env_, receive_);
    if (!receive_.writeFailed && (closed || receive_.lineFailed)) {
        if (receivedFileSink_)
            env_.ui.RunOnUiThread([this] { receivedFileSink_(analysis_.saveFilePath); });
        return;
    }
    // Half a program must not pass for a saved one in the next list.
    std::error_code ignored;
    std::filesystem::remove(analysis_.saveFilePath, ignored);
    env_.log->ErrorLog(msg::kErrCantWriteSaveFile);
    DiscardProgram(receive_.bytesReceived == 0);
}

void ServerLoop::DiscardProgram(bool nothingReadYet)
{
    if (Stopped())
        return;
    if (!nothingReadYet) {
        DrainRest();
        return;
    }
    receive_.transferFilePath = "/dev/null";
    receive_.receivedFileClosed = nullptr;
    transfer::RunReceive(env_, receive_);
}

void ServerLoop::DrainRest()
{
    const auto timings = transfer::ReadReceiveTimings(env_.settings);
    double seconds = 2.0;
    if (const auto* read = std::get_if<transfer::ReceiveTimings>(&timings))
        seconds = read->endSeconds;
    DrainUntilQuiet(*env_.line, env_.flags, *env_.clock,
                    std::chrono::milliseconds(static_cast<long long>(seconds * 1000)));
}

void ServerLoop::SendMail()
{
    serverStep_ = transfer::ServerStep::None;
    mail::MailOutcome outcome;
    outcome.failure = "no mail service";
    if (server_.sendMail) {
        const std::string text = analysis_.mailCommandText;
        env_.ui.RunOnUiThread([&] { outcome = server_.sendMail(text); });
    }
    if (!outcome.sent)
        env_.log->ErrorLog(msg::kErrMailFailed);
}

void ServerLoop::ReportFolderOutcome(ServerFolder::Outcome outcome, std::string_view notFoundWord,
                                     std::string_view failedWord, const char* doneBox, const char* doneStatus,
                                     const char* notFoundBox, const char* failedBox, const char* failedStatus)
{
    switch (outcome) {
    case ServerFolder::Outcome::Done:
        Show(doneBox, doneStatus);
        break;
    case ServerFolder::Outcome::NotFound:
        env_.log->ErrorLog(std::string(notFoundWord));
        Show(notFoundBox, failedStatus);
        break;
    case ServerFolder::Outcome::Failed:
        env_.log->ErrorLog(std::string(failedWord));
        Show(failedBox, failedStatus);
        break;
    case ServerFolder::Outcome::Ambiguous:
        env_.log->ErrorLog(msg::kErrAmbiguousName);
        Show(msg::kBoxAmbiguousName, failedStatus);
        break;
    }
}

void ServerLoop::DeleteFile()
{
    serverStep_ = transfer::ServerStep::None;
    ReportFolderOutcome(folder_.Delete(analysis_.deleteName), logs::msg::kErrDeleteFileNotFound,
                        logs::msg::kErrFileDeleteFailed, msg::kBoxDeleted, msg::kStatusDeleted, msg::kBoxDeleteNotFound,
                        msg::kBoxDeleteFailed, msg::kStatusDeleteFailed);
}

void ServerLoop::RenameFile()
{
    serverStep_ = transfer::ServerStep::None;
    ReportFolderOutcome(folder_.Rename(analysis_.renameFrom, analysis_.renameTo), logs::msg::kErrRenameFileNotFound,
                        logs::msg::kErrFileRenameFailed, msg::kBoxRenamed, msg::kStatusRenamed, msg::kBoxRenameNotFound,
                        msg::kBoxRenameFailed, msg::kStatusRenameFailed);
}

void ServerLoop::Refuse()
{
    serverStep_ = transfer::ServerStep::None;
    env_.log->ErrorLog(analysis_.refusalWord.empty() ? std::string(msg::kErrUnsafeFileName) : analysis_.refusalWord);
    Show(msg::kBoxUnusableName, msg::kStatusRefused);
}

void ServerLoop::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    // A reception left open is closed while this loop's log still takes
    // its lines.
    if (receive_.file.IsOpen())
        transfer::CloseReceiveFile(env_, receive_);
    receive_.receivedFileClosed = receivedFileSink_;
    if (previousLog_)
        env_.log = previousLog_;
}

} // namespace maroka::server
