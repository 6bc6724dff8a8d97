// The program-list editor window over the real session: the 編集 menu, drops,
// the caret's status, the list files that go to the main window, saving, and
// find and replace.

#include "gui/FindReplaceDialog.h"
#include "gui/GuiTests.h"
#include "gui/MainSession.h"
#include "gui/TEditorForm.h"
#include "support/TempDir.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

#include <memory>

namespace maroka::gui::test {

namespace {

using Settings = settings::SessionSettings;

// The program with its main window on screen (no port opened) and its files
// in a temporary folder that every dialog starts in.
struct EditorBench {
    EditorBench()
    {
        session::SessionOptions options;
        options.programPath = (dir / "maroka").string();
        options.listPorts = [] { return std::vector<std::string>{}; };
        main = std::make_unique<MainSession>(options);
        settings::SessionSettings& settings = main->Core().MutableSettings();
        for (std::string* folder : {&settings.sendFileOpenFolder, &settings.sendFileSaveFolder,
                                    &settings.listOpenFolder, &settings.listSaveFolder}) {
            *folder = dir.Path().string();
        }
        for (const char* name : {"A.NC", "B.NC", "C.NC"}) {
            maroka::test::WriteFileBytes(dir / name, "%\nO1\nM30\n%\n");
        }
        main->Window().move(120, 80);
        main->Window().show();
        Child<QAction>(main->Window(), "EditMenuItem")->trigger();
    }

    void Trigger(const char* action) { Child<QAction>(Editor(), action)->trigger(); }

    TEditorForm& Editor() { return main->Editor(); }
    QPlainTextEdit* Text() { return Editor().TextEdit(); }
    QString Path(const char* name) const { return QString::fromStdString((dir / name).string()); }

    QStringList Lines() { return Text()->toPlainText().split(u'\n', Qt::SkipEmptyParts); }

    // Files dropped from a file manager onto the text.
    void Drop(const QStringList& names)
    {
        QList<QUrl> urls;
        for (const QString& name : names) {
            urls << QUrl::fromLocalFile(Path(name.toUtf8().constData()));
        }
        QVERIFY(DropUrls(Editor(), Text()->geometry().center(), urls));
    }

    // The caret to the start of `line` by keys, as the user moves it.
    void CaretTo(int line)
    {
        QTest::keyClick(Text(), Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < line; ++i) {
            QTest::keyClick(Text(), Qt::Key_Down);
        }
    }

    bool Enabled(const char* action) { return Child<QAction>(Editor(), action)->isEnabled(); }
    bool SendCheckEnabled() { return Child<QMenu>(Editor(), "SendCheckMenu")->menuAction()->isEnabled(); }

    // Rejects and reports any window a test did not script.
    ModalScript guard;
    maroka::test::TempDir dir;
    std::unique_ptr<MainSession> main;
};

// What the user does in a file dialog before typing the name.
void ClickPreviewCheckBox(QWidget* dialog)
{
    QTest::mouseClick(Child<QCheckBox>(*dialog, "PreviewCheckBox"), Qt::LeftButton, {}, QPoint(4, 4));
}

} // namespace

class EditorFormTest : public QObject {
    Q_OBJECT

private slots:
    void theEditorListsDroppedFilesInDropOrderAndTheCaretNamesItsFile()
    {
        EditorBench bench;
        // The edit menu shows it beside the main window, which stays usable.
        TEditorForm& editor = bench.Editor();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QCOMPARE(editor.pos(), bench.main->Window().pos() + QPoint(10, 10));
        QVERIFY(!editor.isModal());
        QVERIFY(!bench.SendCheckEnabled());
        QVERIFY(!bench.Enabled("SendMenuItem"));
        QTest::keyClick(bench.Text(), Qt::Key_Escape);
        QVERIFY(!editor.isVisible());
        QVERIFY(bench.main->Window().isVisible());
        Child<QAction>(bench.main->Window(), "EditMenuItem")->trigger();
        bench.Trigger("G65MenuItem");
        bench.Drop({"A.NC", "B.NC"});
        QCOMPARE(bench.Lines(), QStringList({"G65[" + bench.Path("A.NC") + "]", "G65[" + bench.Path("B.NC") + "]"}));
        bench.CaretTo(1);
        QCOMPARE(editor.StatusText(), QStringLiteral(" [2] B.NC"));

        // Opening the list menu leaves G65 mode's text behind, after the offer.
        ModalScript offer;
        offer.Press(QMessageBox::No);
        auto* listMenu = Child<QMenu>(editor, "FileListMenu");
        listMenu->popup(editor.mapToGlobal(QPoint(0, 0)));
        VERIFY_SCRIPT(offer);
        listMenu->close();
        QVERIFY(bench.Text()->toPlainText().isEmpty());

        bench.Trigger("NewListItem");
        bench.Drop({"C.NC", "B.NC"});
        QCOMPARE(bench.Lines(), QStringList({bench.Path("C.NC"), bench.Path("B.NC")}));
        QVERIFY(bench.SendCheckEnabled());
        QVERIFY(bench.Enabled("SendMenuItem"));
        QVERIFY(!bench.Text()->document()->isModified());
    }

    // The open and save dialogs each keep the preview choice the user made
    // in them, and typing into the text makes saving ask as for a change.
    void aListOpenedAsNewGoesToTheMainWindowAndTypingCountsAsAChange()
    {
        EditorBench bench;
        const std::string a = bench.Path("A.NC").toStdString();
        const std::string b = bench.Path("B.NC").toStdString();
        maroka::test::WriteFileBytes(bench.dir / "one.lst", a + "\r\n" + b + "\r\n");
        const Settings& settings = bench.main->Core().Settings();
        QVERIFY(settings.openDialogPreview && settings.saveDialogPreview);
        ModalScript open;
        open.TypeFileName("one.lst", ClickPreviewCheckBox);
        bench.Trigger("OpenListNewItem");
        VERIFY_SCRIPT(open);
        QVERIFY(!settings.openDialogPreview);
        QCOMPARE(bench.main->Core().SendFileList(), (std::optional<std::vector<std::string>>({a, b})));
        QVERIFY(Child<QAction>(bench.main->Window(), "SendDataMenuItem")->isEnabled());
        QVERIFY(bench.Enabled("SendMenuItem"));

        ModalScript save;
        save.TypeFileName("saved.lst", ClickPreviewCheckBox);
        bench.Trigger("SaveFileItem");
        VERIFY_SCRIPT(save);
        QVERIFY(!settings.saveDialogPreview);
        const std::string saved = maroka::test::ReadFileBytes(bench.dir / "saved.lst");
        QCOMPARE(saved, a + "\r\n" + b + "\r\n");

        ModalScript asked;
        asked.Press(QMessageBox::Cancel);
        bench.CaretTo(2);
        QTest::keyClicks(bench.Text(), "M30");
        bench.Trigger("SaveFileItem");
        VERIFY_SCRIPT(asked);
        QCOMPARE(asked.Texts(), QStringList({"内容が変更されています。\n\nファイルを保存しますか?"}));
        QCOMPARE(maroka::test::ReadFileBytes(bench.dir / "saved.lst"), saved);
    }

    void findWithoutAHitAndReplaceWithItsCount()
    {
        EditorBench bench;
        for (const char* line : {"G01X1.", "G01X2.", "M30"}) {
            QTest::keyClicks(bench.Text(), line);
            QTest::keyClick(bench.Text(), Qt::Key_Return);
        }
        bench.Trigger("FindItem");
        auto* find = Child<FindReplaceDialog>(bench.Editor(), "FindDialog");
        QVERIFY(find->isVisible());
        auto* findEdit = Child<QLineEdit>(*find, "FindEdit");
        QTest::keyClicks(findEdit, "G02");
        ModalScript none;
        none.Press(QMessageBox::Ok);
        QTest::mouseClick(Child<QPushButton>(*find, "FindNextButton"), Qt::LeftButton);
        VERIFY_SCRIPT(none);
        QCOMPARE(none.Texts(), QStringList({"対象文字列が見つかりません。"}));

        // From the end of the text the search wraps to the top.
        findEdit->setText("X2.");
        QTest::mouseClick(Child<QPushButton>(*find, "FindNextButton"), Qt::LeftButton);
        QCOMPARE(bench.Text()->textCursor().selectedText(), QStringLiteral("X2."));
        QCOMPARE(bench.Text()->textCursor().blockNumber(), 1);

        bench.Trigger("ReplaceItem");
        auto* replace = Child<FindReplaceDialog>(bench.Editor(), "ReplaceDialog");
        QVERIFY(replace->isVisible());
        QTest::keyClicks(Child<QLineEdit>(*replace, "FindEdit"), "G01");
        QTest::keyClicks(Child<QLineEdit>(*replace, "ReplaceEdit"), "G01G01");
        ModalScript count;
        count.Press(QMessageBox::Ok);
        QTest::mouseClick(Child<QPushButton>(*replace, "ReplaceAllButton"), Qt::LeftButton);
        VERIFY_SCRIPT(count);
        // The replacement holds the text it replaces and is not searched again.
        QCOMPARE(count.Texts(), QStringList({"2 の文字列を置換しました。"}));
        QCOMPARE(bench.Text()->toPlainText(), QStringLiteral("G01G01X1.\nG01G01X2.\nM30\n"));
        bench.Trigger("UndoItem");
        QCOMPARE(bench.Text()->toPlainText(), QStringLiteral("G01X1.\nG01X2.\nM30\n"));
    }
};

int RunEditorFormTests(int argc, char** argv)
{
    EditorFormTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace maroka::gui::test

#include "EditorFormTest.moc"
