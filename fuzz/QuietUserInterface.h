#pragma once

// A front end for fuzz targets: shows nothing, answers every question with
// the safe choice, runs UI steps at once on the calling thread.

#include "core/ui/UserInterface.h"

namespace maroka::fuzz {

class QuietUserInterface final : public UserInterface {
public:
    void ShowFileName(const std::string&) override {}
    void ShowStatus(const std::string&) override {}
    void AppendDataLine(const std::string&) override {}
    void ClearDataView() override {}
    void ShowProgressBar(bool) override {}
    void SetProgress(long long, long long) override {}
    void ShowRemainingTime(bool, const std::string&, const std::string&) override {}
    void SetTitle(const std::string&, const std::string&) override {}
    void ShowSettingsFileName(const std::string&) override {}
    void ShowLineBoxes(const LineBoxTexts&) override {}
    void SetPortItems(const std::vector<std::string>&) override {}
    void SetPortSelectorEnabled(bool) override {}
    void SetBusy(bool) override {}
    void SetSendDataMenuEnabled(bool) override {}
    void SetReceivedFiles(const std::vector<std::string>&) override {}
    void ApplyColours(const std::string&, const std::string&) override {}
    void ApplyGeometry(const WindowGeometry&, bool) override {}
    WindowGeometry CurrentGeometry() override { return {}; }
    void CloseMainWindow() override {}
    void RunOnUiThread(const std::function<void()>& task) override { task(); }
    void ReleaseWorkerCalls() override {}
    MessageAnswer ShowMessage(const std::string&, const std::string&, MessageIcon, MessageButtons buttons) override
    {
        switch (buttons) {
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        case MessageButtons::RetryCancel:
            return MessageAnswer::Cancel;
        default:
            return MessageAnswer::Ok;
        }
    }
    std::optional<FileDialogResult> ChooseOpenFiles(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<FileDialogResult> ChooseSaveFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseOtherPort(const std::string&, const std::vector<std::string>&) override
    {
        return std::nullopt;
    }
};

} // namespace maroka::fuzz
