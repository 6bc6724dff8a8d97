#include "core/logs/LogFile.h"
#include "core/logs/LogMessages.h"
#include "core/logs/WorkFilePath.h"
#include "core/platform/FileBytes.h"
#include "core/session/SessionMessages.h"
#include "core/session/SessionState.h"
#include "core/settings/SettingsFile.h"
#include "core/text/Cp932.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace fs = std::filesystem;

namespace maroka::session {

namespace {

using platform::IsFile;
using platform::IsFolder;

std::string FolderOrEmpty(const std::string& folder)
{
    return IsFolder(folder) ? folder : std::string();
}

std::string FilterOrDefault(const std::string& filter)
{
    return filter.empty() ? settings::kDefaultFilter : filter;
}

void SortIgnoringCase(std::vector<std::string>& paths)
{
    std::stable_sort(paths.begin(), paths.end(),
                     [](const std::string& a, const std::string& b) { return text::ToLower(a) < text::ToLower(b); });
}

} // namespace

void Session::State::SetCurrentFile(const std::string& path)
{
    displayName = fs::path(path).filename().string();
    commLogSubject = path;
    ui.ShowFileName(displayName);
}

void Session::State::AddFilterExtension(std::string& filter, const std::string& path)
{
    const std::string extension = text::ToLower(fs::path(path).extension().string());
    if (extension.empty() || filter.find(extension) != std::string::npos)
        return;
    filter +=
        std::string(msg::kUserFilterPrefix) + extension + msg::kUserFilterMiddle + extension + msg::kUserFilterSuffix;
}

void Session::State::DeletePreparedSendFile()
{
    std::error_code ignored;
    fs::remove(WorkFile(logs::kSendFile), ignored);
}

void Session::State::DiscardSendSelection()
{
    if (!sendFileList)
        return;
    DeletePreparedSendFile();
    sendFileList.reset();
    ui.SetSendDataMenuEnabled(false);
}

bool Session::State::ChooseSendFiles()
{
    const bool direct = settings.noConversionSend || directSend;
    settings.sendFileFilter = FilterOrDefault(settings.sendFileFilter);
    FileDialogRequest request;
    request.title = std::string(direct ? msg::kChooseDirectTitle : msg::kChooseSendTitle) + versionText;
    request.filter = settings.sendFileFilter;
    request.folder = FolderOrEmpty(settings.sendFileOpenFolder);
    request.multiSelect = !direct;
    request.preview = settings.openDialogPreview;
    const auto chosen = ui.ChooseOpenFiles(request);
    if (!chosen || chosen->paths.empty())
        return false;

    ClearDisplay();
    DiscardSendSelection();
    sendFileList.emplace();
    for (const std::string& path : chosen->paths) {
        if (!IsFile(path))
            continue;
        sendFileList->push_back(path);
        SetCurrentFile(path);
        settings.sendFileOpenFolder = fs::path(path).parent_path().string();
    }
    AddFilterExtension(settings.sendFileFilter, chosen->paths.back());
    settings.openDialogPreview = chosen->preview;
    SortIgnoringCase(*sendFileList);
    ui.SetSendDataMenuEnabled(true);
    return !sendFileList->empty();
}

void Session::ChooseSendFiles()
{
    if (state_->RefuseWhileBusy())
        return;
    state_->ChooseSendFiles();
}

void Session::State::SendFiles()
{
    ClearDisplay();
    OpenPort();
    if (flags.quitRequested) {
        ui.CloseMainWindow();
        return;
    }
    if (!sendFileList || sendFileList->empty()) {
        ChooseSendFiles();
        if (!sendFileList || sendFileList->empty())
            return;
    }
    if (!settings.noConversionSend && !directSend) {
        if (settings.sendPercentComment && sendFileList->size() > 1) {
            ShowError(msg::kPercentCommentSeveralFiles);
            return;
        }
        if (sendFileList->size() == 1)
            SetCurrentFile(sendFileList->front());
        if (PrepareSendData())
            StartSend();
        return;
    }
    if (sendFileList->size() > 1) {
        ShowError(msg::kDirectSeveralFiles);
        return;
    }
    sendFilePath = sendFileList->front();
    if (!IsFile(sendFilePath)) {
        ShowError(msg::kSendFileNotFound);
        return;
    }
    SetCurrentFile(sendFilePath);
    StartSend();
}

namespace {

// The build's progress and its one question, on the session's front end.
class PrepareObserver final : public prepare::BuildObserver {
public:
    PrepareObserver(UserInterface& ui, std::function<bool(const std::string&)> ask) : ui_(ui), ask_(std::move(ask)) {}
    void ShowStatus(const std::string& text) override { ui_.ShowStatus(text); }
    void ShowFileName(const std::string& text) override { ui_.ShowFileName(text); }
    void SetProgress(long long position, long long maximum) override { ui_.SetProgress(position, maximum); }
    bool AskYesNo(const std::string& question) override { return ask_(question); }

private:
    UserInterface& ui_;
    std::function<bool(const std::string&)> ask_;
};

} // namespace

void Session::State::ShowPrepareMessage(const prepare::PrepareMessage& message)
{
    const std::string& caption = message.caption == prepare::MessageCaption::VersionText ? versionText
                                 : message.caption == prepare::MessageCaption::Plain     ? applicationTitle
                                                                                         : programName;
    ui.ShowMessage(caption, message.text, message.icon, MessageButtons::Ok);
}

bool Session::State::PrepareSendData()
{
    if (settings.noConversionSend || directSend)
        return sendFileList && !sendFileList->empty() && IsFile(sendFilePath);
    settings::ListSettings lists;
    if (const auto error = settings::SettingsFile(settingsFilePath).LoadListSettings(lists))
        ShowError(error->Text());
    prepare::PrepareRequest request;
    request.sendFiles = sendFileList ? &*sendFileList : nullptr;
    request.settings = &settings;
    request.lists = &lists;
    request.sendMode = boxes.sendMode;
    request.preparedPath = WorkFile(logs::kSendFile);
    PrepareObserver observer(ui, [this](const std::string& question) { return AskYesNo(question); });
    const prepare::PrepareResult result = builder.Prepare(request, observer);
    for (const prepare::PrepareMessage& message : result.messages)
        ShowPrepareMessage(message);
    if (result.dncMode)
        dncMode = *result.dncMode;
    if (result.estimate)
        estimateTotal = *result.estimate;
    sendFilePath = result.sendFilePath;
    if (!result.ok && result.discardSelection)
        DiscardSendSelection();
    return result.ok;
}

void Session::State::OpenWithExternal(ExternalKind kind, const std::string& file)
{
    const auto result = platform::OpenWithExternal(kind, file, settings);
    if (result.message)
        ShowError(*result.message);
}

void Session::CheckData()
{
    State& s = *state_;
    if (!IsFile(s.sendFilePath) && !IsFile(s.receiveFileName)) {
        s.ShowError(msg::kNoData);
        return;
    }
    if (!IsFile(s.settings.editor)) {
        s.ShowError(msg::kNoEditorSet);
        return;
    }
    if (!s.settings.editorEnabled) {
        s.ShowError(msg::kEditorNotEnabled);
        return;
    }
    if (s.currentMode == transfer::TransferMode::Send) {
        if (s.PrepareSendData())
            s.OpenWithExternal(ExternalKind::Editor, s.sendFilePath);
    } else if (s.currentMode == transfer::TransferMode::Receive) {
        if (!IsFile(s.receiveFileName))
            s.ShowError(msg::kNoReceiveFile);
        else
            s.OpenWithExternal(ExternalKind::Editor, s.receiveFileName);
    }
}

void Session::OpenSendData(ExternalKind kind)
{
    State& s = *state_;
    if (s.sendFileList && (s.settings.noConversionSend || s.directSend) && !s.sendFileList->empty())
        s.sendFilePath = s.sendFileList->front();
    if (s.PrepareSendData())
        s.OpenWithExternal(kind, s.sendFilePath);
}

void Session::OpenReceivedFile(std::size_t index)
{
    State& s = *state_;
    if (index < s.receivedFileList.size())
        s.OpenWithExternal(ExternalKind::Editor, s.receivedFileList[index]);
}

void Session::OpenCommLog()
{
    State& s = *state_;
    const logs::LogFile log(s.WorkFile(logs::kLogFile));
    if (!log.Exists())
        s.ShowPlain(std::string(logs::msg::kNoCommLogMessage));
    else
        s.OpenWithExternal(ExternalKind::Editor, log.Path());
}

void Session::ClearCommLog()
{
    State& s = *state_;
    const logs::LogFile log(s.WorkFile(logs::kLogFile));
    if (!log.Exists()) {
        s.ShowPlain(std::string(logs::msg::kNoCommLogMessage));
        return;
    }
    if (s.AskYesNo(std::string(logs::msg::kConfirmDeleteCommLogMessage)) &&
        log.Delete() == logs::DeleteLogResult::Failed)
        s.ShowError(log.Path() + ": " + std::strerror(errno));
}

void Session::OpenErrorLog()
{
    State& s = *state_;
    const logs::LogFile log(s.WorkFile(logs::kErrLogFile));
    if (!log.Exists())
        s.ShowPlain(std::string(logs::msg::kNoErrorLogMessage));
    else
        s.OpenWithExternal(ExternalKind::Editor, log.Path());
}

bool Session::State::ChooseSaveFile(const std::string& title, const std::string& filter, const std::string& folder,
                                    std::string& path)
{
    FileDialogRequest request;
    request.title = title;
    request.filter = filter;
    request.folder = FolderOrEmpty(folder);
    request.preview = settings.saveDialogPreview;
    const auto chosen = ui.ChooseSaveFile(request);
    if (!chosen || chosen->paths.empty())
        return false;
    path = chosen->paths.front();
    settings.receiveFileSaveFolder = fs::path(path).parent_path().string();
    settings.saveDialogPreview = chosen->preview;
    settings.receiveFileFilter = FilterOrDefault(settings.receiveFileFilter);
    AddFilterExtension(settings.receiveFileFilter, path);
    return true;
}

void Session::SaveSendFile()
{
    State& s = *state_;
    if (!IsFile(s.sendFilePath)) {
        s.ShowError(msg::kNoSendFile);
        return;
    }
    std::string bytes = platform::ReadFileBytes(s.sendFilePath).value_or(std::string());
    if (!s.lastCycleTime.empty()) {
        // The inserted line ends like the file's own first line, so the saved
        // program keeps the end of block it was prepared with.
        const std::size_t firstEnd = bytes.find('\n');
        const std::string firstLine = bytes.substr(0, firstEnd);
        std::string lineEnd = "\r\n";
        if (firstEnd != std::string::npos && (firstEnd == 0 || bytes[firstEnd - 1] != '\r'))
            lineEnd = "\n";
        const std::string cycleLine = msg::kCycleTimeLinePrefix + s.lastCycleTime + ")" + lineEnd;
        if (firstLine.find('%') != std::string::npos && firstEnd != std::string::npos)
            bytes.insert(firstEnd + 1, cycleLine);
        else if (firstLine.find('%') != std::string::npos)
            bytes += lineEnd + cycleLine;
        else
            bytes.insert(0, cycleLine);
    }
    std::string target;
    const std::string title = msg::kSaveSendFileTitle + s.versionText;
    if (!s.ChooseSaveFile(title, FilterOrDefault(s.settings.sendFileFilter), s.settings.sendFileSaveFolder, target))
        return;
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        s.ShowError(target + ": " + std::strerror(errno));
        return;
    }
    s.sendFilePath = target;
}

void Session::ClearFiles()
{
    State& s = *state_;
    s.DeletePreparedSendFile();
    s.DiscardSendSelection();
    s.receiveFileName.clear();
    s.sendFilePath.clear();
    s.ClearDisplay();
}

void Session::FilesDropped(const std::vector<std::string>& paths)
{
    State& s = *state_;
    if (s.RefuseWhileBusy())
        return;
    s.ClearDisplay();
    s.DiscardSendSelection();
    s.sendFileList.emplace();
    for (const std::string& path : paths) {
        s.sendFileList->push_back(path);
        s.SetCurrentFile(path);
    }
    s.ui.SetSendDataMenuEnabled(true);
    s.DeletePreparedSendFile();
    SortIgnoringCase(*s.sendFileList);
    if (s.settings.sendOnDrop)
        s.SendFiles();
}

} // namespace maroka::session
