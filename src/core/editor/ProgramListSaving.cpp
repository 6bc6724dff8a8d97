// Saving the editor's text and handing it to the main window.

#include "core/editor/EditorMessages.h"
#include "core/editor/ListText.h"
#include "core/editor/ProgramListEditor.h"
#include "core/logs/WorkFilePath.h"
#include "core/session/Session.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace maroka::editor {

void ProgramListEditor::SaveList()
{
    if (view_.Lines().empty()) {
        Warn(msg::kNoFileList);
        return;
    }
    Save();
}

void ProgramListEditor::SaveFile()
{
    if (view_.Lines().empty()) {
        Warn(msg::kNothingToSave);
        return;
    }
    if (!view_.Modified() && savedOnce_ && !AskYesNo(msg::kSaveAgain))
        return;
    Save();
}

bool ProgramListEditor::Save()
{
    if (view_.Modified() && ui_.ShowMessage(session_.VersionText(), msg::kContentChanged, MessageIcon::Question,
                                            MessageButtons::YesNoCancel) != MessageAnswer::Yes)
        return false;
    settings::SessionSettings& settings = session_.MutableSettings();
    const bool g65 = mode_ == EditorMode::G65Main;
    std::string& filter = g65 ? settings.sendFileFilter : settings.listFilter;
    std::string& folder = g65 ? settings.sendFileSaveFolder : settings.listSaveFolder;
    if (filter.empty())
        filter = settings::kDefaultFilter;
    FileDialogRequest request;
    request.title = Title(g65 ? msg::kSaveG65Title : msg::kSaveListTitle);
    request.filter = filter;
    std::error_code ec;
    request.folder = fs::is_directory(folder, ec) ? folder : std::string();
    request.preview = settings.saveDialogPreview;
    const std::optional<FileDialogResult> chosen = ui_.ChooseSaveFile(request);
    if (!chosen || chosen->paths.empty())
        return false;
    const std::string& path = chosen->paths.front();
    if (!WriteTextLines(path, view_.Lines())) {
        Fail(path + msg::kWriteFailed);
        return false;
    }
    if (g65)
        g65SendFile_ = path;
    folder = fs::path(path).parent_path().string();
    AddUserFilter(filter, path);
    settings.saveDialogPreview = chosen->preview;
    view_.SetModified(false);
    savedOnce_ = true;
    return true;
}

bool ProgramListEditor::HandOver()
{
    const std::vector<std::string> lines = view_.Lines();
    if (lines.empty()) {
        Warn(msg::kNoSendData);
        return false;
    }
    // The list of a running send stays as it is.
    if (session_.RefuseWhileBusy())
        return false;
    g65SendFile_.clear();
    OfferSave();
    if (mode_ != EditorMode::G65Main) {
        session_.TakeSendFileList(lines);
        view_.SetSendItemsEnabled(true);
        if (lines.size() > 1 && session_.NoConversionSend()) {
            Fail(msg::kSeveralFilesNoConversion);
            return false;
        }
        return true;
    }
    std::string path = g65SendFile_;
    if (path.empty()) {
        path = session_.WorkFilePath(logs::kG65SendFile);
        if (!WriteTextLines(path, lines)) {
            Fail(path + msg::kWriteFailed);
            return false;
        }
    }
    session_.TakeSendFileList({path});
    view_.SetSendItemsEnabled(true);
    return true;
}

void ProgramListEditor::Send()
{
    if (!HandOver())
        return;
    ClearText();
    view_.SetStatus("");
    view_.CloseWindow();
    session_.SendSelection();
}

void ProgramListEditor::CheckSendFile(platform::ExternalKind kind)
{
    if (HandOver())
        session_.OpenSendData(kind);
}

} // namespace maroka::editor
