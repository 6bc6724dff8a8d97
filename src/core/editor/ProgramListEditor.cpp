#include "core/editor/ProgramListEditor.h"

#include "core/editor/EditorMessages.h"
#include "core/editor/G65Line.h"
#include "core/editor/ListText.h"
#include "core/session/Session.h"

#include "core/platform/FileBytes.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace maroka::editor {

namespace {

using platform::IsFile;
using platform::IsFolder;

} // namespace

ProgramListEditor::ProgramListEditor(EditorView& view, session::Session& session, UserInterface& ui)
    : view_(view), session_(session), ui_(ui)
{
}

std::string ProgramListEditor::Title(const char* title) const
{
    return title + session_.VersionText();
}

void ProgramListEditor::SetCaption(const std::string& caption)
{
    caption_ = caption;
    view_.SetCaption(caption);
}

void ProgramListEditor::ClearText()
{
    view_.SetLines({}, 0);
    currentLine_ = 0;
    currentLineFile_.clear();
}

void ProgramListEditor::Shown()
{
    SetCaption(Title(msg::kListTitle));
    ClearText();
}

void ProgramListEditor::FileListMenu()
{
    if (mode_ == EditorMode::G65Main) {
        OfferSave();
        ClearText();
        view_.SetStatus("");
    }
    SetCaption(Title(msg::kListTitle));
}

void ProgramListEditor::NewList()
{
    OfferSave();
    if (mode_ != EditorMode::FileList)
        session_.DiscardSendSelection();
    mode_ = EditorMode::FileList;
    ClearText();
    SetCaption(Title(msg::kNewListTitle));
    view_.SetStatus(msg::kChooseFilesStatus);
}

void ProgramListEditor::OpenListAsNew()
{
    OfferSave();
    if (mode_ != EditorMode::ListAsNew)
        session_.DiscardSendSelection();
    ClearText();
    mode_ = EditorMode::ListAsNew;
    RunOpenDialog(Title(msg::kOpenListNewTitle));
}

void ProgramListEditor::OpenListToAdd()
{
    mode_ = EditorMode::ListAdded;
    RunOpenDialog(Title(msg::kOpenListAddTitle));
    view_.SetModified(true);
}

void ProgramListEditor::G65Main()
{
    OfferSave();
    if (mode_ != EditorMode::G65Main) {
        session_.DiscardSendSelection();
        ClearText();
        view_.SetStatus("");
    }
    mode_ = EditorMode::G65Main;
    SetCaption(Title(msg::kG65Title));
    view_.SetStatus(msg::kChooseFilesStatus);
}

void ProgramListEditor::InsertFile()
{
    const std::string caption = caption_;
    SetCaption(Title(msg::kInsertCaption));
    RunOpenDialog(Title(msg::kInsertDialogTitle));
    EnableSendItemsIfFileList();
    SetCaption(caption);
}

void ProgramListEditor::FilesDropped(const std::vector<std::string>& paths)
{
    pendingFiles_ = paths;
    Rebuild();
    EnableSendItemsIfFileList();
}

void ProgramListEditor::EnableSendItemsIfFileList()
{
    if (mode_ == EditorMode::FileList && !view_.Lines().empty())
        view_.SetSendItemsEnabled(true);
}

void ProgramListEditor::OfferSave()
{
    if (view_.Lines().empty() || !AskYesNo(msg::kOfferSave))
        return;
    view_.SetModified(false);
    Save();
}

void ProgramListEditor::RunOpenDialog(const std::string& title)
{
    settings::SessionSettings& settings = session_.MutableSettings();
    const bool lists = mode_ == EditorMode::ListAsNew || mode_ == EditorMode::ListAdded;
    std::string& filter = lists ? settings.listFilter : settings.sendFileFilter;
    std::string& folder = lists ? settings.listOpenFolder : settings.sendFileOpenFolder;
    if (filter.empty())
        filter = settings::kDefaultFilter;
    FileDialogRequest request;
    request.title = title;
    request.filter = filter;
    request.folder = IsFolder(folder) ? folder : std::string();
    request.multiSelect = true;
    request.preview = settings.openDialogPreview;
    const std::optional<FileDialogResult> chosen = ui_.ChooseOpenFiles(request);
    if (!chosen || chosen->paths.empty())
        return;
    for (const std::string& path : chosen->paths) {
        folder = fs::path(path).parent_path().string();
        AddUserFilter(filter, path);
        pendingFiles_.push_back(path);
    }
    settings.openDialogPreview = chosen->preview;
    Rebuild();
}

void ProgramListEditor::Rebuild()
{
    std::vector<std::string> inserted;
    for (const std::string& path : pendingFiles_) {
        if (mode_ == EditorMode::FileList) {
            inserted.push_back(path);
            continue;
        }
        std::optional<std::vector<std::string>> built;
        if (mode_ == EditorMode::G65Main) {
            if (std::optional<std::string> line = G65LineForFile(path))
                built.emplace(1, std::move(*line));
        } else {
            built = ReadTextLines(path);
        }
        if (!built) {
            Fail(path + msg::kReadFailed);
            continue;
        }
        inserted.insert(inserted.end(), built->begin(), built->end());
    }
    pendingFiles_.clear();
    InsertAtCurrentLine(inserted);
    if (mode_ == EditorMode::ListAsNew || mode_ == EditorMode::ListAdded) {
        session_.TakeSendFileList(view_.Lines());
        view_.SetSendItemsEnabled(true);
    }
    view_.SetModified(false);
    savedOnce_ = false;
}

void ProgramListEditor::InsertAtCurrentLine(const std::vector<std::string>& lines)
{
    std::vector<std::string> text = view_.Lines();
    const std::size_t at = std::min(text.empty() ? 0 : currentLine_, text.size());
    text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), lines.begin(), lines.end());
    // The caret follows the inserted lines, so the next insertion continues
    // after them rather than landing in front of them.
    currentLine_ = at + lines.size();
    view_.SetLines(text, currentLine_);
}

void ProgramListEditor::CaretMoved(std::size_t line, const std::string& lineText)
{
    currentLine_ = line;
    const std::string file = LineFile(lineText);
    if (IsFile(file)) {
        currentLineFile_ = file;
        view_.SetStatus(CaretStatus(line, file));
    } else {
        currentLineFile_.clear();
        view_.SetStatus("");
    }
}

void ProgramListEditor::DoubleClicked(std::size_t line, const std::string& lineText)
{
    CaretMoved(line, lineText);
    if (!currentLineFile_.empty())
        session_.OpenWithExternal(platform::ExternalKind::Editor, currentLineFile_);
}

void ProgramListEditor::ReportNotFound()
{
    ui_.ShowMessage(session_.VersionText(), msg::kNotFound, MessageIcon::Information, MessageButtons::Ok);
}

void ProgramListEditor::ReportReplaced(std::size_t count)
{
    ui_.ShowMessage(session_.VersionText(), std::to_string(count) + msg::kReplacedSuffix, MessageIcon::Information,
                    MessageButtons::Ok);
}

void ProgramListEditor::SendSelectionDiscarded()
{
    view_.SetSendItemsEnabled(false);
}

void ProgramListEditor::Warn(const std::string& text)
{
    ui_.ShowMessage(session_.VersionText(), text, MessageIcon::Warning, MessageButtons::Ok);
}

void ProgramListEditor::Fail(const std::string& text)
{
    ui_.ShowMessage(session_.VersionText(), text, MessageIcon::Error, MessageButtons::Ok);
}

bool ProgramListEditor::AskYesNo(const std::string& text)
{
    return ui_.ShowMessage(session_.VersionText(), text, MessageIcon::Question, MessageButtons::YesNo) ==
           MessageAnswer::Yes;
}

} // namespace maroka::editor
