#include "gui/TEditorForm.h"

#include "core/editor/ListText.h"
#include "core/session/Session.h"
#include "gui/DataFont.h"
#include "gui/FindReplaceDialog.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

namespace maroka::gui {

namespace {

QTextDocument::FindFlags FindFlags(bool caseSensitive)
{
    return caseSensitive ? QTextDocument::FindCaseSensitively : QTextDocument::FindFlags();
}

} // namespace

TEditorForm::TEditorForm(QWidget* mainWindow, session::Session& session, UserInterface& ui)
    : QMainWindow(mainWindow, Qt::Window), editor_(*this, session, ui)
{
    setObjectName(QStringLiteral("EditorForm"));

    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* gutter = new QFrame(central);
    gutter->setObjectName(QStringLiteral("Gutter"));
    gutter->setFixedWidth(8);
    gutter->setFrameShape(QFrame::StyledPanel);
    text_ = new QPlainTextEdit(central);
    text_->setObjectName(QStringLiteral("Memo1"));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(DataFont());
    text_->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(gutter);
    layout->addWidget(text_, 1);
    setCentralWidget(central);

    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(statusLabel_, 1);

    BuildMenus();
    BuildPopupMenu();

    // Dropped files are the editor's, never text pasted into it.
    text_->setAcceptDrops(false);
    setAcceptDrops(true);
    text_->installEventFilter(this);
    text_->viewport()->installEventFilter(this);
    auto* close = new QAction(this);
    close->setObjectName(QStringLiteral("CloseAction"));
    close->setShortcut(Qt::Key_Escape);
    close->setShortcutContext(Qt::WindowShortcut);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    connect(text_, &QPlainTextEdit::customContextMenuRequested, this,
            [this](const QPoint& pos) { popupMenu_->exec(text_->viewport()->mapToGlobal(pos)); });

    const QFontMetrics metrics(text_->font());
    resize(metrics.horizontalAdvance(QLatin1Char('0')) * 72, metrics.lineSpacing() * 24);
}

TEditorForm::~TEditorForm() = default;

void TEditorForm::BuildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto add = [this](QWidget* owner, const char* name, const QString& text, auto slot) {
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        owner->addAction(action);
        return action;
    };

    QMenu* list = bar->addMenu(QStringLiteral("ファイルリスト(&F)"));
    list->setObjectName(QStringLiteral("FileListMenu"));
    connect(list, &QMenu::aboutToShow, this, [this] { editor_.FileListMenu(); });
    add(list, "NewListItem", QStringLiteral("新規作成(&N)"), [this] { editor_.NewList(); });
    add(list, "OpenListNewItem", QStringLiteral("リストを開く（新規）(&O)"), [this] { editor_.OpenListAsNew(); });
    add(list, "OpenListAddItem", QStringLiteral("リストを開く（追加）(&A)"), [this] { editor_.OpenListToAdd(); });
    add(list, "SaveListItem", QStringLiteral("リスト保存(&Z)"), [this] { editor_.SaveList(); });

    add(bar, "G65MenuItem", QStringLiteral("G65[](&G)"), [this] { editor_.G65Main(); });

    sendCheckMenu_ = bar->addMenu(QStringLiteral("送信ファイルチェック(&C)"));
    sendCheckMenu_->setObjectName(QStringLiteral("SendCheckMenu"));
    sendCheckMenu_->menuAction()->setObjectName(QStringLiteral("SendCheckMenuItem"));
    const struct {
        const char* name;
        const char* text;
        platform::ExternalKind kind;
    } openers[] = {
        {"CheckEditorItem", "エディタで開く(&E)", platform::ExternalKind::Editor},
        {"CheckViewerItem", "VIEWERで開く(&V)", platform::ExternalKind::Viewer},
        {"CheckOtherAppItem", "他のアプリで開く(&A)", platform::ExternalKind::OtherApp},
    };
    for (const auto& opener : openers) {
        const platform::ExternalKind kind = opener.kind;
        add(sendCheckMenu_, opener.name, QString::fromUtf8(opener.text), [this, kind] { editor_.CheckSendFile(kind); });
    }
    sendAction_ = add(bar, "SendMenuItem", QStringLiteral("送信(&S)"), [this] { editor_.Send(); });
    SetSendItemsEnabled(false);
}

void TEditorForm::BuildPopupMenu()
{
    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    auto add = [this](const char* name, const QString& text, auto slot) {
        QAction* action = popupMenu_->addAction(text, this, slot);
        action->setObjectName(QString::fromLatin1(name));
    };
    add("InsertFileItem", QStringLiteral("ファイル挿入(&A)"), [this] { editor_.InsertFile(); });
    add("DeleteLineItem", QStringLiteral("行削除(&D)"), [this] { DeleteCurrentLine(); });
    add("SaveFileItem", QStringLiteral("ファイル保存(&Z)"), [this] { editor_.SaveFile(); });
    popupMenu_->addSeparator();
    add("TopItem", QStringLiteral("ファイル先頭(&T)"), [this] {
        text_->moveCursor(QTextCursor::Start);
        TrackCaret();
    });
    add("BottomItem", QStringLiteral("ファイル最後(&E)"), [this] {
        text_->moveCursor(QTextCursor::End);
        TrackCaret();
    });
    add("FindItem", QStringLiteral("検索(&F)"), [this] { OpenFindDialog(false); });
    add("ReplaceItem", QStringLiteral("置換(&R)"), [this] { OpenFindDialog(true); });
    popupMenu_->addSeparator();
    add("CopyItem", QStringLiteral("コピー(&C)"), [this] { text_->copy(); });
    add("CutItem", QStringLiteral("切り取り(&K)"), [this] { text_->cut(); });
    add("PasteItem", QStringLiteral("貼り付け(&P)"), [this] { text_->paste(); });
    add("UndoItem", QStringLiteral("元に戻す(&U)"), [this] { text_->undo(); });
    popupMenu_->addSeparator();
    add("PopupSendItem", QStringLiteral("送信(&S)"), [this] { editor_.Send(); });
}

void TEditorForm::ShowBeside(const QWidget& mainWindow)
{
    move(mainWindow.frameGeometry().topLeft() + QPoint(10, 10));
    show();
    raise();
    activateWindow();
}

void TEditorForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) {
        editor_.Shown();
    }
}

QString TEditorForm::StatusText() const
{
    return statusLabel_->text();
}

std::vector<std::string> TEditorForm::Lines() const
{
    return editor::SplitLines(text_->toPlainText().toStdString());
}

void TEditorForm::SetLines(const std::vector<std::string>& lines, std::size_t caretLine)
{
    QString joined;
    for (const std::string& line : lines) {
        joined += QString::fromStdString(line) + u'\n';
    }
    // Through a cursor rather than setPlainText, so 元に戻す can take it back.
    QTextCursor cursor(text_->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(joined);
    const QTextBlock block = text_->document()->findBlockByNumber(static_cast<int>(caretLine));
    QTextCursor caret(text_->document());
    caret.setPosition(block.isValid() ? block.position() : text_->document()->characterCount() - 1);
    text_->setTextCursor(caret);
}

bool TEditorForm::Modified() const
{
    return text_->document()->isModified();
}

void TEditorForm::SetModified(bool modified)
{
    text_->document()->setModified(modified);
}

void TEditorForm::SetCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

void TEditorForm::SetStatus(const std::string& status)
{
    statusLabel_->setText(QString::fromStdString(status));
}

void TEditorForm::SetSendItemsEnabled(bool enabled)
{
    sendCheckMenu_->menuAction()->setEnabled(enabled);
    sendAction_->setEnabled(enabled);
}

void TEditorForm::CloseWindow()
{
    close();
}

void TEditorForm::TrackCaret()
{
    const QTextCursor cursor = text_->textCursor();
    editor_.CaretMoved(static_cast<std::size_t>(cursor.blockNumber()), cursor.block().text().toStdString());
}

void TEditorForm::DeleteCurrentLine()
{
    QTextCursor cursor = text_->textCursor();
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::StartOfBlock);
    if (!cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor)) {
        // The last line has no line end of its own: take the one before it.
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        if (cursor.anchor() > 0) {
            const int end = cursor.position();
            cursor.setPosition(cursor.anchor() - 1);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
        }
    }
    cursor.removeSelectedText();
    cursor.endEditBlock();
    text_->setTextCursor(cursor);
    TrackCaret();
}

bool TEditorForm::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyRelease:
        if (watched == text_) {
            TrackCaret();
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == text_->viewport()) {
            TrackCaret();
        }
        break;
    case QEvent::MouseButtonDblClick:
        if (watched == text_->viewport()) {
            // The filter runs before the text moves its caret to the click.
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QTextCursor cursor = text_->cursorForPosition(mouse->position().toPoint());
            editor_.DoubleClicked(static_cast<std::size_t>(cursor.blockNumber()), cursor.block().text().toStdString());
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TEditorForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TEditorForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TEditorForm::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile().toStdString());
        }
    }
    if (paths.empty()) {
        return;
    }
    event->acceptProposedAction();
    editor_.FilesDropped(paths);
}

void TEditorForm::OpenFindDialog(bool replace)
{
    if (findDialog_ != nullptr) {
        findDialog_->close();
        findDialog_->deleteLater();
    }
    findDialog_ = new FindReplaceDialog(this, replace);
    findDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(findDialog_, &QObject::destroyed, this, [this, dialog = findDialog_] {
        if (findDialog_ == dialog) {
            findDialog_ = nullptr;
        }
    });
    FindReplaceDialog* dialog = findDialog_;
    connect(dialog, &FindReplaceDialog::FindNextRequested, this,
            [this, dialog] { FindNext(dialog->FindText(), dialog->CaseSensitive()); });
    connect(dialog, &FindReplaceDialog::ReplaceRequested, this,
            [this, dialog] { ReplaceOne(dialog->FindText(), dialog->ReplaceText(), dialog->CaseSensitive()); });
    connect(dialog, &FindReplaceDialog::ReplaceAllRequested, this,
            [this, dialog] { ReplaceAll(dialog->FindText(), dialog->ReplaceText(), dialog->CaseSensitive()); });
    dialog->show();
}

void TEditorForm::FindNext(const QString& text, bool caseSensitive)
{
    if (text.isEmpty()) {
        return;
    }
    // Forward from the caret, then once more from the top.
    QTextCursor found = text_->document()->find(text, text_->textCursor(), FindFlags(caseSensitive));
    if (found.isNull()) {
        found = text_->document()->find(text, 0, FindFlags(caseSensitive));
    }
    if (found.isNull()) {
        editor_.ReportNotFound();
        return;
    }
    text_->setTextCursor(found);
    TrackCaret();
}

void TEditorForm::ReplaceOne(const QString& text, const QString& replacement, bool caseSensitive)
{
    if (text.isEmpty()) {
        return;
    }
    QTextCursor cursor = text_->textCursor();
    const Qt::CaseSensitivity sensitivity = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (cursor.hasSelection() && cursor.selectedText().compare(text, sensitivity) == 0) {
        cursor.insertText(replacement);
        text_->setTextCursor(cursor);
    }
    FindNext(text, caseSensitive);
}

void TEditorForm::ReplaceAll(const QString& text, const QString& replacement, bool caseSensitive)
{
    if (text.isEmpty()) {
        return;
    }
    std::size_t count = 0;
    QTextCursor edit(text_->document());
    edit.beginEditBlock();
    QTextCursor found = text_->document()->find(text, 0, FindFlags(caseSensitive));
    while (!found.isNull()) {
        found.insertText(replacement);
        ++count;
        // Go on after the replacement, which is never searched again.
        found = text_->document()->find(text, found, FindFlags(caseSensitive));
    }
    edit.endEditBlock();
    if (count == 0) {
        editor_.ReportNotFound();
    } else {
        editor_.ReportReplaced(count);
    }
}

} // namespace maroka::gui
