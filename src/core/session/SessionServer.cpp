#include "core/logs/WorkFilePath.h"
#include "core/server/ServerLoop.h"
#include "core/session/SessionMessages.h"
#include "core/session/SessionState.h"
#include "core/transfer/ReceiveLoop.h"
#include "core/transfer/SendPacing.h"

#include "core/platform/FileBytes.h"

#include <filesystem>

namespace maroka::session {

namespace {

using platform::IsFolder;

} // namespace

void Session::StartServer()
{
    State& s = *state_;
    if (s.RefuseWhileBusy())
        return;
    if (!IsFolder(s.settings.serverFolder)) {
        if (!s.AskYesNo(msg::kNoServerFolder) || !s.ChooseServerFolder())
            return;
    }
    s.ClearDisplay();
    s.OpenPort();
    if (s.flags.quitRequested) {
        s.ui.CloseMainWindow();
        return;
    }
    if (s.settings.ignoreCycleStart && s.AskYesNo(msg::kIgnoreCycleStartOn))
        s.settings.ignoreCycleStart = false;
    s.currentMode = transfer::TransferMode::Server;
    s.StartServerWorker();
}

std::string Session::ServerFailure() const
{
    const std::lock_guard lock(state_->serverFailureMutex);
    return state_->serverFailure;
}

bool Session::SendTestMail()
{
    return state_->SendMail(state_->mailCommandText, true).sent;
}

bool Session::State::ChooseServerFolder()
{
    if (auto chosen = AskServerFolder())
        settings.serverFolder = *std::move(chosen);
    return IsFolder(settings.serverFolder);
}

std::optional<std::string> Session::State::AskServerFolder()
{
    for (;;) {
        auto chosen = ui.ChooseFolder(msg::kServerFolderTitle, settings.serverFolder);
        if (!chosen) {
            if (!IsFolder(settings.serverFolder))
                ShowWarning(msg::kServerFolderRequired);
            return std::nullopt;
        }
        if (IsFolder(*chosen))
            return chosen;
        ShowWarning(msg::kServerFolderUnusable);
    }
}

bool Session::State::StartServerWorker()
{
    if (!line || RefuseBadNumbers(true, true))
        return false;
    server::ServerEnvironment server;
    server.commandFilePath = WorkFile(logs::kCommandFile);
    server.commLogPath = WorkFile(logs::kLogFile);
    server.errorLogPath = WorkFile(logs::kErrLogFile);
    server.sendMail = [this](const std::string& text) { return SendMail(text, false); };
    {
        const std::lock_guard lock(serverFailureMutex);
        serverFailure.clear();
    }
    server.reportFailure = [this](const std::string& reason) {
        const std::lock_guard lock(serverFailureMutex);
        serverFailure = reason;
    };
    const std::string commandFile = server.commandFilePath;
    return LaunchWorker(currentMode, commandFile, [this, &server](transfer::TTerm& worker) {
        worker.SetReceivedFileSink([this](const std::string& received) { AddReceivedFile(received); });
        worker.SetServer(std::move(server));
    });
}

mail::MailOutcome Session::State::SendMail(const std::string& commandText, bool testFlag)
{
    // The text of a mail command stays for later mails until the next
    // command replaces it.
    mailCommandText = commandText;
    mail::MailJob job;
    job.bodyFilePath = WorkFile(logs::kMailFile);
    job.mailCommandText = commandText;
    job.testFlag = testFlag;
    job.caption = versionText;
    job.cancelled = [this] { return flags.StopOrClosing() || (options.cancelRequested && options.cancelRequested()); };
    return mail::SendNotificationMail(ui, settings, job);
}

} // namespace maroka::session
