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
    // Script.
    std::deque<MessageAnswer> answers;              // for questions; empty: No / Cancel
    std::deque<std::vector<std::string>> openFiles; // one entry per open dialog; empty: cancel
    std::deque<std::string> saveFiles;
    std::deque<std::string> otherPorts; // answers of the port choice; empty: "no"

    // Record.
    std::vector<std::string> Events() const { return Locked(events_); }
    std::vector<std::string> EventsWith(const std::string& part) const;     // the events that contain `part`
    std::vector<std::string> Messages() const { return Locked(messages_); } // texts of message boxes
    bool Saw(const std::string& event) const;
    std::string LastStatus() const { return Locked(lastStatus_); }
    std::string LastFileName() const { return Locked(lastFileName_); }
    int OpenDialogs() const { return Locked(openDialogs_); }
    bool CloseRequested() const { return Locked(closeRequested_); }

    // Runs the worker's UI steps until `done` holds or `timeout` passes.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    void ShowFileName(const std::string& text) override { Record("file:" + text, &lastFileName_, text); }
    void ShowStatus(const std::string& text) override { Record("status:" + text, &lastStatus_, text); }
    void AppendDataLine(const std::string& line) override { Record("data:" + line); }
    void ClearDataView() override { Record("clear-data"); }
    void ShowProgressBar(bool visible) override { Record(visible ? "progress-bar:shown" : "progress-bar:hidden"); }
    void SetProgress(long long position, long long maximum) override
    {
        Record("progress:" + std::to_string(position) + "/" + std::to_string(maximum));
    }
    void ShowRemainingTime(bool visible, const std::string& remaining, const std::string& corrected) override
    {
        Record(visible ? "remaining:" + remaining + "|" + corrected : "remaining:hidden");
    }
    void SetTitle(const std::string& applicationTitle, const std::string& caption) override
    {
        Record("title:" + applicationTitle + "|" + caption);
    }
    void ShowSettingsFileName(const std::string& name) override { Record("settings-file:" + name); }
    void ShowLineBoxes(const LineBoxTexts& boxes) override;
    void SetPortItems(const std::vector<std::string>& items) override { Record("ports:" + Joined(items)); }
    void SetPortSelectorEnabled(bool enabled) override { Record(enabled ? "port-selector:on" : "port-selector:off"); }
    void SetBusy(bool busy) override { Record(busy ? "busy" : "idle"); }
    void SetSendDataMenuEnabled(bool enabled) override { Record(enabled ? "send-data-menu:on" : "send-data-menu:off"); }
    void SetReceivedFiles(const std::vector<std::string>& paths) override
    {
        Record("received-files:" + std::to_string(paths.size()));
    }
    void ApplyColours(const std::string& windowColour, const std::string& textColour) override
    {
        Record("colours:" + windowColour + "," + textColour);
    }
    void ApplyGeometry(const WindowGeometry& geometry, bool centre) override
    {
        Record(std::string("geometry:") + (centre ? "centre" : "at"), &geometry_, geometry);
    }
    WindowGeometry CurrentGeometry() override { return Locked(geometry_); }
    void CloseMainWindow() override { Record("close-window", &closeRequested_, true); }
    void RunOnUiThread(const std::function<void()>& task) override { tasks_.Run(task); }
    void ReleaseWorkerCalls() override { tasks_.Release(); }
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    std::optional<FileDialogResult> ChooseOpenFiles(const FileDialogRequest& request) override;
    std::optional<FileDialogResult> ChooseSaveFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseOtherPort(const std::string& failedPort,
                                               const std::vector<std::string>& ports) override;

private:
    template <typename T> T Locked(const T& field) const
    {
        std::lock_guard lock(mutex_);
        return field;
    }
    // Writes down `event`, and with it the state the call leaves behind.
    void Record(std::string event) { Record<int>(std::move(event), nullptr, 0); }
    template <typename T> void Record(std::string event, T* state, const T& value)
    {
        std::lock_guard lock(mutex_);
        if (state)
            *state = value;
        events_.push_back(std::move(event));
    }
    static std::string Joined(const std::vector<std::string>& items);

    UiTaskQueue tasks_;
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<std::string> messages_;
    WindowGeometry geometry_{0, 0, 377, 300};
    std::string lastStatus_;
    std::string lastFileName_;
    int openDialogs_ = 0;
    bool closeRequested_ = false;
};

} // namespace maroka::test
