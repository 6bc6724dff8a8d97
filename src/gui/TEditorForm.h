#pragma once

// The program-list editor window: a plain text of one entry per line with
// its menus, drops, caret tracking, and find and replace. What each command
// does is decided by editor::ProgramListEditor; the window shows the text and
// passes the user's events on. Modeless; it lives as long as the main window
// and is shown and hidden.

#include "core/editor/EditorView.h"
#include "core/editor/ProgramListEditor.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QTextDocument;

namespace maroka::session {
class Session;
}

namespace maroka::gui {

class FindReplaceDialog;

class TEditorForm : public QMainWindow, public editor::EditorView {
    Q_OBJECT

public:
    TEditorForm(QWidget* mainWindow, session::Session& session, UserInterface& ui);
    ~TEditorForm() override;

    // Shows the window 10 px right of and below the main window's corner.
    void ShowBeside(const QWidget& mainWindow);

    editor::ProgramListEditor& Editor() { return editor_; }
    QPlainTextEdit* TextEdit() const { return text_; }
    QString StatusText() const;

    // Find and replace on the text, as the find and replace box asks.
    void FindNext(const QString& text, bool caseSensitive);
    void ReplaceOne(const QString& text, const QString& replacement, bool caseSensitive);
    void ReplaceAll(const QString& text, const QString& replacement, bool caseSensitive);

    // editor::EditorView
    std::vector<std::string> Lines() const override;
    void SetLines(const std::vector<std::string>& lines, std::size_t caretLine) override;
    bool Modified() const override;
    void SetModified(bool modified) override;
    void SetCaption(const std::string& caption) override;
    void SetStatus(const std::string& status) override;
    void SetSendItemsEnabled(bool enabled) override;
    void CloseWindow() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    void BuildPopupMenu();
    void TrackCaret();
    void DeleteCurrentLine();
    void OpenFindDialog(bool replace);

    editor::ProgramListEditor editor_;
    QPlainTextEdit* text_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QMenu* sendCheckMenu_ = nullptr;
    QAction* sendAction_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    FindReplaceDialog* findDialog_ = nullptr;
};

} // namespace maroka::gui
