#include "core/logs/LogWriter.h"
#include "core/logs/WorkFilePath.h"
#include "core/session/RemainingTimePanel.h"
#include "core/session/SessionMessages.h"
#include "core/session/SessionState.h"
#include "core/transfer/ReceiveLoop.h"
#include "core/transfer/SendPacing.h"
#include "core/transfer/WorkerLog.h"

#include <filesystem>
#include <functional>
#include <optional>

namespace maroka::session {

namespace {

void RemoveIfExists(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

} // namespace

Session::State::~State()
{
    watch.Stop();
    flags.RequestClose();
    if (line)
        line->Interrupt();
    ui.ReleaseWorkerCalls();
    if (worker)
        worker->Join();
}

bool Session::State::WorkerBusy() const
{
    return worker && worker->Running();
}

bool Session::State::RefuseWhileBusy()
{
    // The function keys reach the commands while a transfer runs; a second
    // worker on the port is never started.
    if (!WorkerBusy() && idle)
        return false;
    ShowPlain(msg::kBusy);
    return true;
}

transfer::WorkerEnvironment Session::State::MakeEnvironment()
{
    transfer::WorkerEnvironment env(line, ui,
                                    std::make_shared<transfer::WorkerLog>(WorkFile(logs::kLogFile),
                                                                          WorkFile(logs::kErrLogFile), settings,
                                                                          commLogSubject),
                                    flags, *this);
    env.remainingTime = std::make_shared<RemainingTimePanel>(ui, estimateTotal, versionText);
    env.settings = settings;
    env.versionText = versionText;
    env.applicationTitle = applicationTitle;
    env.displayName = displayName;
    env.directSend = directSend;
    env.dncMode = dncMode;
    return env;
}

bool Session::State::RefuseBadNumbers(bool send, bool receive)
{
    // Numbers a transfer needs are checked before the port is touched.
    settings.sendBufferSize = boxes.bufferSize;
    std::optional<std::string> problem;
    if (send) {
        if (const auto pacing = transfer::ReadSendPacing(settings); std::holds_alternative<std::string>(pacing))
            problem = std::get<std::string>(pacing);
    }
    if (receive && !problem) {
        if (const auto timings = transfer::ReadReceiveTimings(settings); std::holds_alternative<std::string>(timings))
            problem = std::get<std::string>(timings);
    }
    if (problem)
        ShowError(*problem);
    return problem.has_value();
}

bool Session::State::LaunchWorker(transfer::TransferMode mode, const std::string& path,
                                  const std::function<void(transfer::TTerm&)>& configure)
{
    if (portGone) {
        ShowError(openPortName + msg::kPortGoneRefusalSuffix);
        return false;
    }
    watch.Stop();
    if (!ApplyLineSettings())
        return false;
    ResetLine();
    flags.transferArmed = true;
    SetBusyControls();
    flags.stopRequested = false;
    endHandled = false;
    currentMode = mode;
    line->ClearInterrupt();
    if (worker)
        worker->Join();
    worker = std::make_unique<transfer::TTerm>(MakeEnvironment(), mode, path);
    if (configure)
        configure(*worker);
    worker->Start();
    if (flags.quitRequested)
        ui.CloseMainWindow();
    return true;
}

bool Session::State::StartSend()
{
    if (!line || RefuseBadNumbers(true, false))
        return false;
    if (dncMode)
        WarnOfFeedStops();
    return LaunchWorker(transfer::TransferMode::Send, sendFilePath);
}

void Session::State::StopTransfer()
{
    if (!flags.transferArmed)
        return;
    // The stop is set before the waits are released, so a worker woken from
    // a wait always sees it.
    flags.RequestStop();
    if (line)
        line->Interrupt();
    flags.transferArmed = false;
}

void Session::State::EndTransfer()
{
    if (endHandled)
        return;
    if (flags.transferArmed)
        flags.RequestStop();
    if (line)
        line->Interrupt();
    ClearDisplay();
    SetIdleControls();
    if (currentMode == transfer::TransferMode::Send) {
        if (settings.resetClearsSendFile) {
            DeletePreparedSendFile();
            sendFilePath.clear();
            ui.ShowFileName({});
            DiscardSendSelection();
        } else {
            ui.ShowFileName(displayName);
        }
    } else if (currentMode == transfer::TransferMode::Receive) {
        if (settings.resetClearsReceiveFile) {
            receiveFileName.clear();
            ui.ShowFileName({});
        } else {
            ui.ShowFileName(displayName);
        }
    }
    endHandled = true;
}

void Session::State::SetBusyControls()
{
    ui.SetBusy(true);
    idle = false;
}

void Session::State::SetIdleControls()
{
    ui.SetBusy(false);
    ui.SetPortSelectorEnabled(true);
    idle = true;
}

void Session::State::CloseMainWindow()
{
    closingForWorker = true;
    ui.CloseMainWindow();
}

void Session::State::ClearCompletedSend()
{
    DiscardSendSelection();
    sendFilePath.clear();
    ui.ClearDataView();
}

void Session::State::SetLastCycleTime(const std::string& text)
{
    lastCycleTime = text;
}

void Session::State::LineReleased()
{
    if (worker && worker->ServerLineFailed())
        serverResumePending = true;
    WatchPort();
}

void Session::State::ClearDisplay()
{
    ui.ShowFileName({});
    ui.ClearDataView();
    ui.SetProgress(0, 100);
    ui.ShowStatus({});
}

void Session::State::ShutdownPort()
{
    StopTransfer();
    flags.RequestClose();
    if (line)
        line->Interrupt();
    ui.ReleaseWorkerCalls();
    // A worker that asked for this close is parked in that request and no
    // longer touches the line; any other is woken above and ends at once.
    if (worker && !closingForWorker)
        worker->Join();
    DiscardSendSelection();
    receivedFileList.clear();
    ui.SetReceivedFiles(receivedFileList);
    // The work files of a port belong to the instance that holds it: one
    // that was refused the port must not pull them from under the server
    // that has it.
    // After a server that gave up by itself the error log is what says why:
    // it stays for whoever looks after the server.
    if (PortOpen()) {
        bool keepErrorLog = false;
        {
            const std::lock_guard lock(serverFailureMutex);
            keepErrorLog = !serverFailure.empty();
        }
        for (const std::string_view name : logs::kFilesDeletedAtExit) {
            if (!(keepErrorLog && name == logs::kErrLogFile))
                RemoveIfExists(logs::WorkFilePath(workFolder, name, openPortName));
        }
    }
    ClosePort();
}

} // namespace maroka::session
