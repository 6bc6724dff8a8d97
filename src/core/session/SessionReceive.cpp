#include "core/session/SessionMessages.h"
#include "core/session/SessionState.h"
#include "core/text/Cp932.h"
#include "core/transfer/ReceiveLoop.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace maroka::session {

void Session::Receive()
{
    State& s = *state_;
    if (s.RefuseWhileBusy())
        return;
    s.ReceiveFile();
}

bool Session::State::ChooseReceiveFile(const std::string& title)
{
    const std::string filter = settings.receiveFileFilter.empty() ? settings::kDefaultFilter
                                                                  : settings.receiveFileFilter;
    std::string path;
    if (!ChooseSaveFile(title + versionText, filter, settings.receiveFileSaveFolder, path))
        return false;
    receiveFileName = path;
    return true;
}

void Session::State::ReceiveFile()
{
    ClearDisplay();
    OpenPort();
    if (flags.quitRequested) {
        ui.CloseMainWindow();
        return;
    }
    // Once chosen, the file is reused by every later receive until it is
    // cleared.
    if (receiveFileName.empty() && !ChooseReceiveFile(msg::kReceiveTitle))
        return;
    SetCurrentFile(receiveFileName);
    currentMode = "RECV";
    StartReceive(receiveFileName);
}

bool Session::State::StartReceive(const std::string& path)
{
    if (!line)
        return false;
    // Numbers the reception needs are checked before the port is touched.
    if (const auto timings = transfer::ReadReceiveTimings(settings); std::holds_alternative<std::string>(timings)) {
        ShowError(std::get<std::string>(timings));
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
    worker = std::make_unique<transfer::TTerm>(MakeEnvironment(), currentMode, path);
    worker->SetReceivedFileSink([this](const std::string& received) { AddReceivedFile(received); });
    worker->Start();
    if (flags.quitRequested)
        ui.CloseMainWindow();
    return true;
}

void Session::State::AddReceivedFile(const std::string& path)
{
    if (std::find(receivedFileList.begin(), receivedFileList.end(), path) != receivedFileList.end())
        return;
    const auto before = [&path](const std::string& entry) { return text::ToLower(entry) <= text::ToLower(path); };
    const auto at = std::find_if_not(receivedFileList.begin(), receivedFileList.end(), before);
    receivedFileList.insert(at, path);
    ui.SetReceivedFiles(receivedFileList);
}

} // namespace maroka::session
