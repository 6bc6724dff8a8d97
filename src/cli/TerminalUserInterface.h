#pragma once

// The session's front end on a terminal: texts go to stderr, questions are
// asked on the terminal when there is one and otherwise get the safe answer,
// and the worker's main-window steps run on the thread that calls
// RunPendingTasks(), which plays the part of the UI thread.

#include "core/ui/UiTaskQueue.h"
#include "core/ui/UserInterface.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

namespace maroka::cli {

struct TerminalAnswers {
    std::vector<std::string> filesToOpen; // what a file dialog "chooses"
    std::string saveFile;
    bool assumeYes = false; // answer Yes/Retry without asking
};

class TerminalUserInterface final : public UserInterface {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Remaining-time texts go to a log (not a terminal) at most this often.
    static constexpr std::chrono::seconds kLogRemainingTimeEvery{1};

    TerminalUserInterface(std::ostream& err, std::istream& in, bool interactive, TerminalAnswers answers,
                          Clock clock = std::chrono::steady_clock::now);

    void ShowFileName(const std::string& text) override;
    void ShowStatus(const std::string& text) override;
    void AppendDataLine(const std::string& line) override;
    void ClearDataView() override {}
    void ShowProgressBar(bool) override {}
    void SetProgress(long long position, long long maximum) override;
    void ShowRemainingTime(bool visible, const std::string& remaining, const std::string& corrected) override;
    void SetTitle(const std::string&, const std::string&) override {}
    void ShowSettingsFileName(const std::string&) override {}
    void ShowLineBoxes(const LineBoxTexts&) override {}
    void SetPortItems(const std::vector<std::string>&) override {}
    void SetPortSelectorEnabled(bool) override {}
    void SetBusy(bool) override {}
    void SetSendDataMenuEnabled(bool) override {}
    void SetReceivedFiles(const std::vector<std::string>&) override {}
    void ApplyColours(const std::string&, const std::string&) override {}
    void ApplyGeometry(const WindowGeometry& geometry, bool) override { geometry_ = geometry; }
    WindowGeometry CurrentGeometry() override { return geometry_; }
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

    // Runs the steps the worker handed over, waiting up to `timeoutMs` for
    // one to arrive.
    void RunPendingTasks(int timeoutMs);
    bool CloseRequested() const;
    void SetShowData(bool show) { showData_ = show; }

private:
    void EndProgressLine();

    std::ostream& err_;
    std::istream& in_;
    bool interactive_;
    TerminalAnswers answers_;
    WindowGeometry geometry_;
    bool showData_ = false;

    UiTaskQueue tasks_;
    mutable std::mutex mutex_;
    bool closeRequested_ = false;
    std::string lastStatus_;
    std::string lastFileName_;
    int lastPercent_ = -1;
    bool progressLineOpen_ = false;
    Clock clock_;
    std::string lastRemaining_;
    std::chrono::steady_clock::time_point lastRemainingAt_{};
};

} // namespace maroka::cli
