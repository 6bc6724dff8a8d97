#pragma once

// The running program: the main window, the front end the core talks to and
// the session, wired together. Declared in this order so that the session
// (which may still report while it shuts down) goes first and the window
// last.

#include "core/session/Session.h"
#include "gui/MainWindowCommands.h"
#include "gui/QtUserInterface.h"
#include "gui/TMainForm.h"
#include "gui/TSend_Set_Form.h"

namespace maroka::gui {

class MainSession final : public MainWindowCommands {
public:
    // Builds the window and runs the session's construction step (settings,
    // work folder, line boxes); the window is not shown yet.
    explicit MainSession(session::SessionOptions options);
    ~MainSession() override;
    MainSession(const MainSession&) = delete;
    MainSession& operator=(const MainSession&) = delete;

    // Shows the window and, once it is on screen, runs the session's
    // first-shown step (port, start-up send or receive). False when the
    // session already asked to close during construction.
    bool Show();

    TMainForm& Window() { return form_; }
    session::Session& Core() { return session_; }
    TSend_Set_Form& SettingsForm() { return settingsForm_; }

    void ChooseSendFiles() override;
    void Send() override;
    void DirectSend() override;
    void Receive() override;
    void Reset() override;
    void StartServer() override;
    void CheckData() override;
    void OpenSettings() override;
    void ViewSettingsFile() override;
    void ShowHelp() override;
    bool ConfirmExit() override;
    void ShowAbout() override;
    void OpenProgramListEditor() override;
    void OpenSendData(session::ExternalKind kind) override;
    void OpenReceivedFile(std::size_t index) override;
    void OpenCommLog() override;
    void ClearCommLog() override;
    void OpenErrorLog() override;
    void SaveSendFile() override;
    void ClearFiles() override;
    void SendDc2() override;
    void FilesDropped(const std::vector<std::string>& paths) override;
    void PortDropDown() override;
    void PortChanged(const std::string& port) override;
    void SetLineBox(session::LineBox box, const std::string& text) override;
    void Close() override;

private:
    TMainForm form_;
    QtUserInterface ui_;
    session::Session session_;
    TSend_Set_Form settingsForm_;
    bool closed_ = false;
};

} // namespace maroka::gui
