#pragma once

// What the main window owns and decides: settings, port, worker, the send
// selection, the receive file, and every command of the window. A front end
// turns user events into these calls and shows what comes back through
// UserInterface; nothing here knows which front end it is.
//
// All calls are made on the front end's UI thread.

#include "core/settings/SessionSettings.h"
#include "core/ui/UserInterface.h"

#include <memory>
#include <string>
#include <vector>

namespace maroka::session {

enum class ExternalKind {
    Editor,
    Viewer,
    OtherApp,
};

enum class LineBox {
    Port,
    StopBits,
    BaudRate,
    BufferSize,
    Code,
    Dc3,
    SendMode,
};

struct SessionOptions {
    std::string programPath;             // full path of the running program
    std::vector<std::string> arguments;  // command-line arguments after the program name
};

class Session {
public:
    Session(UserInterface& ui, SessionOptions options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Start-up: Construct() when the window is built, FirstShown() when it is
    // first on screen.
    void Construct();
    void FirstShown();

    // Commands of the window (buttons, function keys, menus).
    void ChooseSendFiles();   // F1
    void Send();              // F2
    void DirectSend();        // F3
    void Receive();           // F4
    void Reset();             // F5
    void StartServer();       // F6
    void CheckData();         // F7
    void OpenSettings();      // F8
    void ViewSettingsFile();  // F9
    void ShowHelp();          // F10
    bool ConfirmExit();       // Esc: true when the window should close
    void ShowAbout();
    void OpenProgramListEditor();
    void OpenSendData(ExternalKind kind);
    void OpenReceivedFile(std::size_t index);
    void OpenCommLog();
    void ClearCommLog();
    void OpenErrorLog();
    void SaveSendFile();
    void ClearFiles();
    void SendDc2();
    void FilesDropped(const std::vector<std::string>& paths);

    // Line boxes.
    void PortDropDown();
    void PortChanged(const std::string& port);
    void SetLineBox(LineBox box, const std::string& text);
    const LineBoxTexts& LineBoxes() const;

    // The close sequence; safe to call more than once.
    void Close();

    bool Idle() const;
    bool QuitRequested() const;
    const std::string& VersionText() const;
    const settings::SessionSettings& Settings() const;
    settings::SessionSettings& MutableSettings();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace maroka::session
