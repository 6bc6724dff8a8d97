#pragma once

// A command target that only writes down what reached it, so a test sees
// which command a key, button, menu item or box edit turned into.

#include "gui/MainWindowCommands.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace maroka::gui::test {

class RecordingCommands final : public MainWindowCommands {
public:
    QStringList calls;
    // Run inside PortDropDown, as the session refills the list there.
    std::function<void()> onPortDropDown;

    void ChooseSendFiles() override { calls << "ChooseSendFiles"; }
    void Send() override { calls << "Send"; }
    void DirectSend() override { calls << "DirectSend"; }
    void Receive() override { calls << "Receive"; }
    void Reset() override { calls << "Reset"; }
    void StartServer() override { calls << "StartServer"; }
    void CheckData() override { calls << "CheckData"; }
    void OpenSettings() override { calls << "OpenSettings"; }
    void ViewSettingsFile() override { calls << "ViewSettingsFile"; }
    void ShowHelp() override { calls << "ShowHelp"; }
    bool ConfirmExit() override
    {
        calls << "ConfirmExit";
        return false;
    }
    void ShowAbout() override { calls << "ShowAbout"; }
    void OpenProgramListEditor() override { calls << "OpenProgramListEditor"; }
    void OpenSendData(session::ExternalKind kind) override
    {
        calls << QStringLiteral("OpenSendData %1").arg(static_cast<int>(kind));
    }
    void OpenReceivedFile(std::size_t index) override { calls << QStringLiteral("OpenReceivedFile %1").arg(index); }
    void OpenCommLog() override { calls << "OpenCommLog"; }
    void ClearCommLog() override { calls << "ClearCommLog"; }
    void OpenErrorLog() override { calls << "OpenErrorLog"; }
    void SaveSendFile() override { calls << "SaveSendFile"; }
    void ClearFiles() override { calls << "ClearFiles"; }
    void SendDc2() override { calls << "SendDc2"; }
    void FilesDropped(const std::vector<std::string>& paths) override
    {
        QStringList list;
        for (const std::string& path : paths) {
            list << QString::fromStdString(path);
        }
        calls << "FilesDropped " + list.join(u'|');
    }
    void PortDropDown() override
    {
        calls << "PortDropDown";
        if (onPortDropDown) {
            onPortDropDown();
        }
    }
    void PortChanged(const std::string& port) override { calls << "PortChanged " + QString::fromStdString(port); }
    void SetLineBox(session::LineBox box, const std::string& text) override
    {
        calls << QStringLiteral("SetLineBox %1 %2").arg(static_cast<int>(box)).arg(QString::fromStdString(text));
    }
    void Close() override { calls << "Close"; }
};

} // namespace maroka::gui::test
