#pragma once

// The core's front end in Qt: each call is carried out on the UI thread. A
// call from the transfer worker is queued there and the worker waits for it,
// so displays keep their order and a question's answer comes back; a call
// made on the UI thread runs at once (queuing it would wait for itself).
//
// The wait is our own rather than Qt::BlockingQueuedConnection: closing the
// window stops and joins the worker on the UI thread, and a worker blocked
// in a queued call that the UI thread will never run again would hang the
// close. After ReleaseWorkerCalls() every waiting and later worker call
// returns at once with the safe answer (No, Cancel, nothing chosen).

#include "core/ui/DisplayBatch.h"
#include "core/ui/UserInterface.h"

#include <QTimer>

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace maroka::gui {

class TMainForm;

class QtUserInterface final : public UserInterface {
public:
    explicit QtUserInterface(TMainForm& form);
    ~QtUserInterface() override;
    QtUserInterface(const QtUserInterface&) = delete;
    QtUserInterface& operator=(const QtUserInterface&) = delete;

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
    struct PendingCall;

    bool OnUiThread() const;
    // Runs `task` on the UI thread and waits for it; false when the call was
    // released instead (the task then does not run, or runs unobserved).
    bool RunQueued(std::function<void()> task);
    void Post(std::function<void()> task);
    template <typename R> R Ask(std::function<R()> task, R fallback);
    // Display updates from the worker wait in the batch for the next redraw;
    // on the UI thread they are applied at once, after what is gathered.
    void Display(const std::function<bool(DisplayBatch&)>& add);
    void ApplyDisplay();

    TMainForm& form_;
    DisplayBatch display_;
    QTimer redrawTimer_;
    std::mutex mutex_;
    bool released_ = false;
    std::vector<std::shared_ptr<PendingCall>> pending_;
};

} // namespace maroka::gui
