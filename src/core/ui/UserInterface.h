#pragma once

// The one door between the core and whatever front end drives it (the Qt
// window, the terminal, a test recorder). The core calls these from the main
// thread or from the transfer worker; an implementation must carry each call
// out on its own UI thread, in order, and return only when it is done, so a
// worker that shows a line and then writes the next chunk never races ahead
// of the display.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace maroka {

enum class MessageIcon {
    None,
    Information,
    Warning,
    Error,
    Question,
};

enum class MessageButtons {
    Ok,
    YesNo,
    YesNoCancel,
    RetryCancel,
};

enum class MessageAnswer {
    Ok,
    Yes,
    No,
    Retry,
    Cancel,
};

struct FileDialogRequest {
    std::string title;
    std::string filter; // "label|pattern|label|pattern" pairs
    std::string folder; // start folder, empty for the default
    bool multiSelect = false;
    bool preview = true;
};

struct FileDialogResult {
    std::vector<std::string> paths;
    bool preview = true; // the preview state the user left the dialog in
};

struct WindowGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Texts of the seven line boxes of the main window.
struct LineBoxTexts {
    std::string port;
    std::string stopBits;
    std::string baudRate;
    std::string bufferSize;
    std::string code;
    std::string dc3;
    std::string sendMode;
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // Display texts of the main window.
    virtual void ShowFileName(const std::string& text) = 0;
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void AppendDataLine(const std::string& line) = 0;
    virtual void ClearDataView() = 0;
    virtual void ShowProgressBar(bool visible) = 0;
    virtual void SetProgress(long long position, long long maximum) = 0;
    // Remaining machining time panel; hidden when `visible` is false.
    virtual void ShowRemainingTime(bool visible, const std::string& remaining, const std::string& corrected) = 0;

    // Window state.
    virtual void SetTitle(const std::string& applicationTitle, const std::string& caption) = 0;
    virtual void ShowSettingsFileName(const std::string& name) = 0;
    virtual void ShowLineBoxes(const LineBoxTexts& boxes) = 0;
    virtual void SetPortItems(const std::vector<std::string>& items) = 0;
    virtual void SetPortSelectorEnabled(bool enabled) = 0;
    virtual void SetBusy(bool busy) = 0;
    virtual void SetSendDataMenuEnabled(bool enabled) = 0;
    virtual void SetReceivedFiles(const std::vector<std::string>& paths) = 0;
    virtual void ApplyColours(const std::string& windowColour, const std::string& textColour) = 0;
    virtual void ApplyGeometry(const WindowGeometry& geometry, bool centre) = 0;
    virtual WindowGeometry CurrentGeometry() = 0;
    virtual void CloseMainWindow() = 0;

    // Runs `task` on the UI thread and returns when it has run. Called by the
    // transfer worker for the steps that belong to the main window (ending a
    // transfer, returning to idle).
    virtual void RunOnUiThread(const std::function<void()>& task) = 0;
    // Called on the UI thread at exit, before the worker is joined: from then
    // on, calls from other threads return at once without effect, so a worker
    // that is about to show something can never deadlock the exit.
    virtual void ReleaseWorkerCalls() = 0;

    // Questions and choices. Without a person to ask (a script, CI), an
    // implementation answers with the safe choice: No, Cancel, nothing chosen.
    virtual MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                      MessageButtons buttons) = 0;
    virtual std::optional<FileDialogResult> ChooseOpenFiles(const FileDialogRequest& request) = 0;
    virtual std::optional<FileDialogResult> ChooseSaveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> ChooseFolder(const std::string& title, const std::string& start) = 0;
    // The start-up port choice after a failed open; nullopt means "no".
    virtual std::optional<std::string> ChooseOtherPort(const std::string& failedPort,
                                                       const std::vector<std::string>& ports) = 0;
};

} // namespace maroka
