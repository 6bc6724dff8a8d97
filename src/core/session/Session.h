#pragma once

// What the main window owns and decides: settings, port, worker, the send
// selection, the receive file, and every command of the window. A front end
// turns user events into these calls and shows what comes back through
// UserInterface; nothing here knows which front end it is.
//
// All calls are made on the front end's UI thread.

#include "core/platform/ExternalProgram.h"
#include "core/serial/SerialLine.h"
#include "core/settings/DialogRules.h"
#include "core/settings/SessionSettings.h"
#include "core/ui/UserInterface.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::session {

using ExternalKind = platform::ExternalKind;

enum class LineBox {
    Port,
    StopBits,
    BaudRate,
    BufferSize,
    Code,
    Dc3,
    SendMode,
};

// Opens a line by the name in the port box; on failure returns null and
// puts the reason into `error`.
using LineOpener = std::function<std::unique_ptr<serial::SerialLine>(const std::string& port, std::string& error)>;
// The usable ports, for the port box and the choice after a failed open.
using PortLister = std::function<std::vector<std::string>()>;

struct SessionOptions {
    std::string programPath;            // full path of the running program
    std::vector<std::string> arguments; // command-line arguments after the program name
    // A settings file named outright, instead of the one the program path
    // and the arguments choose.
    std::string settingsFile;
    // Where the serial lines come from; the real devices when left empty.
    LineOpener openLine;
    PortLister listPorts;
    // The window stores its whole state when it closes. A command-line run
    // stores only what it was told to change, so it leaves this off.
    bool saveSettingsOnClose = true;
    // Asked while a mail waits for its server: true ends the mail, as Reset
    // does. A front end whose Reset cannot run during the mail (a signal
    // handler's flag) puts its own check here.
    std::function<bool()> cancelRequested;
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
    void ChooseSendFiles(); // F1
    void Send();            // F2
    void DirectSend();      // F3
    void Receive();         // F4
    void Reset();           // F5
    void StartServer();     // F6
    // The mail page's test button: sends the notification mail with the
    // current settings and confirms the outcome in a message box. True when
    // the mail was sent.
    bool SendTestMail();
    void CheckData();        // F7
    void ViewSettingsFile(); // F9
    void ShowHelp();         // F10
    bool ConfirmExit();      // Esc: true when the window should close
    void ShowAbout();
    void OpenSendData(ExternalKind kind);
    void OpenReceivedFile(std::size_t index);
    void OpenCommLog();
    void ClearCommLog();
    void OpenErrorLog();
    void SaveSendFile();
    void ClearFiles();
    void SendDc2();
    void FilesDropped(const std::vector<std::string>& paths);

    // The settings dialog. It shows copies of the settings and the lists,
    // and hands its controls back when it closes (or before a test mail).
    settings::ListSettings LoadListSettings();
    // The text of the mail body file (UTF-8, "\n" line ends); empty when
    // there is none.
    std::string LoadMailBody();
    // Copies the controls into the settings, saves the lists to the settings
    // file and writes the mail body file (removed when the text is empty, so
    // the mail falls back to its fixed line).
    void ApplyDialogSettings(const std::vector<settings::SettingEdit>& edits, const settings::ListSettings& lists,
                             const std::string& mailBody);
    // A control changed; the prepared send data is built again at the next
    // send when the change alters it.
    void DialogValueChanged(const settings::SettingKey& key, const std::string& text);
    void DialogConversionCellEdited();
    void DialogIgnoreCodesChanged();
    // The server folder's browse button: the chosen folder is stored and put
    // at the top of `history`. nullopt when nothing was chosen.
    std::optional<std::string> BrowseServerFolder(std::vector<std::string>& history);
    // The browse button of an external program: the chosen file and its
    // folder are stored and the file put at the top of `history`.
    std::optional<std::string> BrowseApplication(ExternalKind kind, std::vector<std::string>& history);
    // New colours of the current port, shown at once.
    void SetPortColours(const std::string& windowColour, const std::string& textColour);
    // What the program-list editor asks of the main window (SessionEditor.cpp).
    void DiscardSendSelection();
    // `entries` replace the send file list (the old prepared send file goes
    // with the old list) and 送信データ is enabled.
    void TakeSendFileList(std::vector<std::string> entries);
    // The send file list, or nullopt when there is no send selection.
    std::optional<std::vector<std::string>> SendFileList() const;
    // The next send goes without conversion ("無変換送信" or a direct send).
    bool NoConversionSend() const;
    // Starts the send of the current selection as it stands; unlike Send()
    // it never discards the selection first.
    void SendSelection();
    // While a transfer runs: says so and returns true.
    bool RefuseWhileBusy();
    std::string WorkFilePath(std::string_view name) const;
    void OpenWithExternal(ExternalKind kind, const std::string& file);

    // Line boxes.
    void PortDropDown();
    void PortChanged(const std::string& port);
    void SetLineBox(LineBox box, const std::string& text);
    const LineBoxTexts& LineBoxes() const;

    // The close sequence; safe to call more than once.
    void Close();

    bool Idle() const;
    // A worker is still running (its last call to the front end included).
    bool TransferRunning() const;
    // The last transfer ran to its end without an error or a stop.
    bool LastTransferCompleted() const;
    bool QuitRequested() const;
    // Why the last server mode ended by itself (the line failed, the command
    // file cannot be created); empty when it was stopped or still runs.
    std::string ServerFailure() const;
    const std::string& VersionText() const;
    const settings::SessionSettings& Settings() const;
    settings::SessionSettings& MutableSettings();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace maroka::session
