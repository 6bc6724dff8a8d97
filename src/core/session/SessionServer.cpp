#include "core/logs/WorkFilePath.h"
#include "core/session/SessionMessages.h"
#include "core/session/SessionState.h"
#include "core/transfer/ReceiveLoop.h"
#include "core/transfer/SendPacing.h"
#include "core/transfer/ServerLoop.h"

#include <filesystem>

namespace maroka::session {

namespace {

bool IsFolder(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

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
    s.currentMode = "SERVER";
    s.StartServerWorker();
}

bool Session::SendTestMail()
{
    return state_->SendMail(state_->mailCommandText, true).sent;
}

bool Session::State::ChooseServerFolder()
{
    for (;;) {
        const auto chosen = ui.ChooseFolder(msg::kServerFolderTitle, settings.serverFolder);
        if (!chosen) {
            if (IsFolder(settings.serverFolder))
                return true;
            ShowWarning(msg::kServerFolderRequired);
            return false;
        }
        if (IsFolder(*chosen)) {
            settings.serverFolder = *chosen;
            return true;
        }
        ShowWarning(msg::kServerFolderUnusable);
    }
}

bool Session::State::StartServerWorker()
{
    if (!line)
        return false;
    // Numbers the receptions and the sends need are checked before the port
    // is touched.
    settings.sendBufferSize = boxes.bufferSize;
    if (const auto timings = transfer::ReadReceiveTimings(settings); std::holds_alternative<std::string>(timings)) {
        ShowError(std::get<std::string>(timings));
        return false;
    }
    if (const auto pacing = transfer::ReadSendPacing(settings); std::holds_alternative<std::string>(pacing)) {
        ShowError(std::get<std::string>(pacing));
        return false;
    }
    if (!ApplyLineSettings())
        return false;
    ResetLine();
    flags.transferArmed = true;
    SetBusyControls();
    flags.stopRequested = false;
    endHandled = false;
    line->ClearInterrupt();
    if (worker)
        worker->Join();

    transfer::ServerEnvironment server;
    server.commandFilePath = WorkFile(logs::kCommandFile);
    server.commLogPath = WorkFile(logs::kLogFile);
    server.errorLogPath = WorkFile(logs::kErrLogFile);
    server.sendMail = [this](const std::string& text) { return SendMail(text, false); };
    worker = std::make_unique<transfer::TTerm>(MakeEnvironment(), currentMode, server.commandFilePath);
    worker->SetReceivedFileSink([this](const std::string& received) { AddReceivedFile(received); });
    worker->SetServer(std::move(server));
    worker->Start();
    if (flags.quitRequested)
        ui.CloseMainWindow();
    return true;
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
    return mail::SendNotificationMail(ui, settings, job);
}

} // namespace maroka::session
