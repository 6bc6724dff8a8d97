#pragma once

// A front end that writes down what the core shows and answers questions
// from a script. The thread that calls Pump() plays the UI thread.

#include "core/ui/UiTaskQueue.h"
#include "core/ui/UserInterface.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace maroka::test {

class RecordingUserInterface final : public UserInterface {
public:
    RecordingUserInterface();

    // Script.
    std::deque<MessageAnswer> answers;              // for questions; empty: No / Cancel
    std::deque<std::vector<std::string>> openFiles; // one entry per open dialog; empty: cancel
    std::deque<std::string> saveFiles;
    std::deque<std::string> otherPorts; // answers of the port choice; empty: "no"

    // Record.
    std::vector<std::string> Events() const;
    std::vector<std::string> Messages() const; // texts of message boxes
    bool Saw(const std::string& event) const;
    std::string LastStatus() const;
    std::string LastFileName() const;
    int OpenDialogs() const;
    bool Busy() const;
    bool CloseRequested() const;

    // Runs the worker's UI steps until `done` holds or `timeout` passes.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    void ShowFileName(const std::string& text) override;
    void ShowStatus(const std::string& text) override;
    void AppendDataLine(const std::string& line) override;
    void ClearDataView() override;
    void ShowProgressBar(bool visible) override;
    void SetProgress(long long position, long long maximum) override;
    void ShowRemainingTime(bool visible, const std::string& remaining, const std::string& corrected) override;
    void SetTitle(const std::string& applicationTitle, const std::string& caption) override;
    void ShowSettingsFileName(const std::string& name) override;
    void ShowLineBoxes(const LineBoxTexts& boxes) override;
    void SetPortItems(const std::vector<std::string>& items) override;
    void SetPortSelectorEnabled(bool enabled) override;
    void SetBusy(bool busy) override;
    void SetSendDataMenuEnabled(bool enabled) override;
    void SetReceivedFiles(const std::vector<std::string>& paths) override;
    void ApplyColours(const std::string& windowColour, const std::string& textColour) override;
    void ApplyGeometry(const WindowGeometry& geometry, bool centre) override;
    WindowGeometry CurrentGeometry() override;
    void CloseMainWindow() override;
    void RunOnUiThread(const std::function<void()>& task) override;
    void ReleaseWorkerCalls() override;
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    std::optional<FileDialogResult> ChooseOpenFiles(const FileDialogRequest& request) override;
    std::optional<FileDialogResult> ChooseSaveFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseFolder(const std::string& title, const std::string& start) override;
    std::optional<std::string> ChooseOtherPort(const std::string& failedPort,
                                               const std::vector<std::string>& ports) override;

private:
    void Record(std::string event);

    UiTaskQueue tasks_;
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<std::string> messages_;
    WindowGeometry geometry_{0, 0, 377, 300};
    std::string lastStatus_;
    std::string lastFileName_;
    int openDialogs_ = 0;
    bool busy_ = false;
    bool closeRequested_ = false;
};

} // namespace maroka::test
