#pragma once

// The program-list editor: a text with one entry per line that becomes the
// main window's send file list, or a G65 main program of call lines that is
// sent as one file. This class decides what every command of the editor
// window does; the window only shows the text and passes events on.
//
// All calls are made on the UI thread.

#include "core/editor/EditorView.h"
#include "core/platform/ExternalProgram.h"
#include "core/ui/UserInterface.h"

#include <cstddef>
#include <string>
#include <vector>

namespace maroka::session {
class Session;
}

namespace maroka::editor {

enum class EditorMode {
    FileList = 1,  // files chosen or dropped
    ListAsNew = 2, // a list file opened as a new list
    ListAdded = 3, // a list file opened and added
    G65Main = 4,   // call lines of a G65 main program
};

class ProgramListEditor {
public:
    ProgramListEditor(EditorView& view, session::Session& session, UserInterface& ui);

    // The window was shown: list caption, empty text.
    void Shown();

    // Menu bar.
    void FileListMenu(); // "ファイルリスト(&F)" opened
    void NewList();
    void OpenListAsNew();
    void OpenListToAdd();
    void SaveList();
    void G65Main();
    void CheckSendFile(platform::ExternalKind kind);
    void Send();

    // Text and its context menu.
    void InsertFile();
    void SaveFile();
    void FilesDropped(const std::vector<std::string>& paths);
    void CaretMoved(std::size_t line, const std::string& lineText);
    void DoubleClicked(std::size_t line, const std::string& lineText);
    void ReportNotFound();
    void ReportReplaced(std::size_t count);

    // The main window discarded its send selection.
    void SendSelectionDiscarded();

    // The text goes to the main window as its send file list; false (after a
    // message) when there is nothing to send or it cannot be sent so.
    bool HandOver();

    EditorMode Mode() const { return mode_; }
    std::size_t CurrentLine() const { return currentLine_; }
    const std::string& CurrentLineFile() const { return currentLineFile_; }
    bool SavedOnce() const { return savedOnce_; }
    const std::string& G65SendFile() const { return g65SendFile_; }
    std::string Title(const char* title) const;

private:
    void SetCaption(const std::string& caption);
    void ClearText();
    void OfferSave();
    bool Save();
    void RunOpenDialog(const std::string& title);
    void Rebuild();
    void InsertAtCurrentLine(const std::vector<std::string>& lines);
    void EnableSendItemsIfFileList();
    void Warn(const std::string& text);
    void Fail(const std::string& text);
    bool AskYesNo(const std::string& text);

    EditorView& view_;
    session::Session& session_;
    UserInterface& ui_;
    EditorMode mode_ = EditorMode::FileList;
    std::string caption_;
    std::vector<std::string> pendingFiles_;
    std::size_t currentLine_ = 0;
    std::string currentLineFile_;
    bool savedOnce_ = false;
    std::string g65SendFile_;
};

} // namespace maroka::editor
