#pragma once

// What the main window can ask of the session behind it: one call per
// command, key or box. The running program forwards these to
// session::Session; tests put a recorder here to see which command a key,
// button or menu item reached without a serial port or a settings file.

#include "core/session/Session.h"

#include <cstddef>
#include <string>
#include <vector>

namespace maroka::gui {

class MainWindowCommands {
public:
    virtual ~MainWindowCommands() = default;

    virtual void ChooseSendFiles() = 0;
    virtual void Send() = 0;
    virtual void DirectSend() = 0;
    virtual void Receive() = 0;
    virtual void Reset() = 0;
    virtual void StartServer() = 0;
    virtual void CheckData() = 0;
    virtual void OpenSettings() = 0;
    virtual void ViewSettingsFile() = 0;
    virtual void ShowHelp() = 0;
    virtual bool ConfirmExit() = 0;
    virtual void ShowAbout() = 0;
    virtual void OpenProgramListEditor() = 0;
    virtual void OpenSendData(session::ExternalKind kind) = 0;
    virtual void OpenReceivedFile(std::size_t index) = 0;
    virtual void OpenCommLog() = 0;
    virtual void ClearCommLog() = 0;
    virtual void OpenErrorLog() = 0;
    virtual void SaveSendFile() = 0;
    virtual void ClearFiles() = 0;
    virtual void SendDc2() = 0;
    virtual void FilesDropped(const std::vector<std::string>& paths) = 0;

    virtual void PortDropDown() = 0;
    virtual void PortChanged(const std::string& port) = 0;
    virtual void SetLineBox(session::LineBox box, const std::string& text) = 0;

    virtual void Close() = 0;
};

} // namespace maroka::gui
