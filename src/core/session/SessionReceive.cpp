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
    const std::string filter =
        settings.receiveFileFilter.empty() ? settings::kDefaultFilter : settings.receiveFileFilter;
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
    currentMode = transfer::TransferMode::Receive;
    StartReceive(receiveFileName);
}

bool Session::State::StartReceive(const std::string& path)
{
    if (!line || RefuseBadNumbers(false, true))
        return false;
    return LaunchWorker(currentMode, path, [this](transfer::TTerm& worker) {
        worker.SetReceivedFileSink([this](const std::string& received) { AddReceivedFile(received); });
    });
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
