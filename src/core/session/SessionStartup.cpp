#include "core/logs/LogMessages.h"
#include "core/logs/WorkFilePath.h"
#include "core/logs/WorkFolder.h"
#include "core/session/SessionMessages.h"
#include "core/session/SessionState.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SettingsFileChoice.h"
#include "core/settings/SettingsMessages.h"
#include "core/transfer/TransferMessages.h"

#include <filesystem>

namespace maroka::session {

void Session::Construct()
{
    State& s = *state_;
    s.flags.stopRequested = false;
    s.flags.closing = false;
    s.flags.quitRequested = false;
    s.idle = true;
    const auto choice = settings::ChooseSettingsFile(s.options.programPath, s.options.arguments);
    s.settingsFilePath = s.options.settingsFile.empty() ? choice.settingsFilePath : s.options.settingsFile;
    s.receiveAtStart = choice.receiveAtStart;
    s.startupFile = choice.startupFile.value_or(std::string());
    s.programName = std::filesystem::path(s.options.programPath).filename().string();
    s.LoadSettings();
    s.ui.ShowSettingsFileName(settings::SettingsFileLabel(s.settingsFilePath));

    const auto folder = logs::PrepareWorkFolder(s.options.programPath);
    s.workFolder = folder.path;
    if (!folder.ready)
        s.ShowError(logs::msg::WorkFolderNotCreatedMessage(folder.path));

    if (!s.startupFile.empty() && !s.receiveAtStart && std::filesystem::is_regular_file(s.startupFile)) {
        s.sendFileList = std::vector<std::string>{s.startupFile};
        s.SetCurrentFile(s.startupFile);
        s.ui.SetSendDataMenuEnabled(true);
    }
}

void Session::FirstShown()
{
    State& s = *state_;
    s.LoadPortColours();
    // An empty probe is no reason to stop here: the configured port may be a
    // device the probe does not list (a pseudo-terminal, a symlink). The
    // open below decides, and offers the other ports when it fails.
    s.ui.SetPortItems(s.ProbePorts());
    s.OpenPort();
    if (s.flags.quitRequested) {
        s.ui.CloseMainWindow();
        return;
    }
    if (s.receiveAtStart) {
        if (!s.startupFile.empty())
            s.receiveFileName = s.startupFile;
        else if (!s.ChooseReceiveFile(msg::kReceiveAtStartTitle))
            return;
        Receive();
        return;
    }
    if (s.sendFileList) {
        s.DeletePreparedSendFile();
        Send();
    }
}

void Session::Close()
{
    State& s = *state_;
    if (s.shutdownDone)
        return;
    s.flags.RequestClose();
    if (!s.idle) {
        s.EndTransfer();
        s.ShowPlain(msg::kClosing);
    }
    s.ShutdownPort();
    if (s.options.saveSettingsOnClose)
        s.SaveSettings();
    s.shutdownDone = true;
}

void Session::State::SetApplicationTitle(const std::string& port)
{
    applicationTitle = "Maroka " + port;
    ui.SetTitle(applicationTitle, versionText);
}

void Session::State::LoadSettings()
{
    bool readAsUtf8 = false;
    if (const auto error = settings::SettingsFile(settingsFilePath).LoadSettings(settings, &readAsUtf8))
        ShowError(error->Text());
    // Said once: the save at exit writes the file back in CP932, and from
    // then on it reads as it always did.
    if (readAsUtf8)
        ui.ShowStatus(settings::msg::FormatMessage(settings::msg::kReadAsUtf8Notice,
                                                   settings::SettingsFileLabel(settingsFilePath)));
    SetApplicationTitle(settings.startupPort);
    boxes.port = settings.startupPort;
    boxes.stopBits = settings.stopBits;
    boxes.baudRate = settings.baudRate;
    boxes.bufferSize = settings.sendBufferSize;
    boxes.code = settings.code;
    boxes.dc3 = settings.dc3Code;
    boxes.sendMode = settings.sendMode;
    ui.ApplyGeometry({settings.left, settings.top, settings.width, settings.height}, settings.left < 0);
    ui.ShowLineBoxes(boxes);
}

bool Session::State::SaveSettings()
{
    const WindowGeometry geometry = ui.CurrentGeometry();
    settings.left = geometry.left;
    settings.top = geometry.top;
    settings.width = geometry.width;
    settings.height = geometry.height;
    settings.startupPort = boxes.port;
    settings.stopBits = boxes.stopBits;
    settings.baudRate = boxes.baudRate;
    settings.sendBufferSize = boxes.bufferSize;
    settings.code = boxes.code;
    settings.dc3Code = boxes.dc3;
    settings.sendMode = boxes.sendMode;
    if (const auto error = settings::SettingsFile(settingsFilePath).SaveSettings(settings, boxes.port)) {
        ShowError(error->Text());
        return false;
    }
    return true;
}

void Session::State::LoadPortColours()
{
    if (const auto error = settings::SettingsFile(settingsFilePath).LoadPortColours(boxes.port, settings))
        ShowError(error->Text());
    portWindowColourPort = boxes.port;
    ui.ApplyColours(settings.windowColour, settings.textColour);
}

void Session::State::SavePortColours()
{
    if (portWindowColourPort.empty())
        return;
    if (const auto error = settings::SettingsFile(settingsFilePath).SavePortColours(portWindowColourPort, settings))
        ShowError(error->Text());
}

std::string Session::State::WorkFile(std::string_view name) const
{
    return logs::WorkFilePath(workFolder, name, boxes.port);
}

} // namespace maroka::session
