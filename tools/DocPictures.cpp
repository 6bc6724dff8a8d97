// Takes the pictures of the user guide: each page of the settings window,
// the program-list editor in its two modes, and the file dialog's preview.
//   xvfb-run -a build/tools/maroka-doc-pictures docs/images
// Runs the real windows over a fake port in a temporary folder, so the
// pictures show the defaults of a fresh install.

#include "core/text/Encoding.h"
#include "gui/GuiTests.h"
#include "gui/MainSession.h"
#include "gui/QtTranslations.h"
#include "gui/TEditorForm.h"
#include "gui/TMainForm.h"
#include "gui/TSend_Set_Form.h"
#include "gui/TextFileDialog.h"
#include "support/FakeSerialLine.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

#include <iostream>

namespace {

using maroka::gui::MainSession;
using maroka::gui::TEditorForm;
using maroka::gui::test::Child;
namespace fs = std::filesystem;

bool Save(QWidget& window, const QDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    if (window.grab().save(path))
        return true;
    std::cerr << "cannot write " << path.toStdString() << "\n";
    return false;
}

void Trigger(const QObject& window, const char* action)
{
    Child<QAction>(window, action)->trigger();
}

bool SettingsPages(MainSession& session, const QDir& out)
{
    maroka::gui::TSend_Set_Form& form = session.SettingsForm();
    session.OpenSettings();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::cerr << "the settings window did not show\n";
        return false;
    }
    auto* pages = Child<QTabWidget>(form, "PageControl1");
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QTest::qWait(100);
        if (!Save(form, out, QStringLiteral("settings-page%1.png").arg(i + 1)))
            return false;
    }
    form.close();
    return true;
}

// Files dropped from a file manager onto the editor's text.
bool Drop(TEditorForm& editor, const fs::path& folder, std::initializer_list<const char*> names)
{
    QList<QUrl> urls;
    for (const char* name : names)
        urls << QUrl::fromLocalFile(QString::fromStdString((folder / name).string()));
    if (maroka::gui::test::DropUrls(editor, editor.TextEdit()->geometry().center(), urls))
        return true;
    std::cerr << "the editor refused the dropped files\n";
    return false;
}

void CaretToSecondLine(TEditorForm& editor)
{
    QTest::keyClick(editor.TextEdit(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(editor.TextEdit(), Qt::Key_Down);
}

bool EditorPictures(MainSession& session, const fs::path& folder, const QDir& out)
{
    const char* programs[][2] = {
        {"O1000.NC", "%\nO1000(荒加工)\nG90G54G00X0Y0\nS1200M03\nG65[SUB.NC]X10.Y5.F300\nM30\n%\n"},
        {"O2000.NC", "%\nO2000(仕上げ)\nG90G54G00X0Y0\nM30\n%\n"},
        {"O3000.NC", "%\nO3000(穴あけ)\nG81X10.Y10.R2.Z-5.F100\nM30\n%\n"},
        {"POCKET.NC", "O9010(ポケット)\nG91G01X#24F#9\nY#25\nX-#24\nY-#25\nM99\n"},
        {"DRILL.NC", "O9020(穴)\nG81X#24Y#25Z#26R2.F#9\nG80\nM99\n"},
    };
    fs::create_directories(folder);
    for (const auto& program : programs)
        maroka::test::WriteFileBytes(folder / program[0], *maroka::text::Utf8ToCp932(program[1]));

    Trigger(session.Window(), "EditMenuItem");
    TEditorForm& editor = session.Editor();
    editor.resize(760, 320);
    if (!QTest::qWaitForWindowExposed(&editor))
        return false;
    Trigger(editor, "NewListItem");
    if (!Drop(editor, folder, {"O1000.NC", "O2000.NC", "O3000.NC"}))
        return false;
    CaretToSecondLine(editor);
    if (!Save(editor, out, QStringLiteral("editor-list.png")))
        return false;

    {
        // Leaving the list offers to save it first: not for a picture.
        maroka::gui::test::ModalScript offer;
        offer.Press(QMessageBox::No);
        Trigger(editor, "G65MenuItem");
        if (const QStringList problems = offer.Problems(); !problems.isEmpty()) {
            std::cerr << problems.join(QStringLiteral("; ")).toStdString() << "\n";
            return false;
        }
    }
    if (!Drop(editor, folder, {"POCKET.NC", "DRILL.NC"}))
        return false;
    CaretToSecondLine(editor);
    if (!Save(editor, out, QStringLiteral("editor-g65.png")))
        return false;

    maroka::gui::TextFileDialog dialog(&session.Window(), maroka::gui::TextFileDialog::Kind::OpenMany,
                                       QStringLiteral(" 送信ファイル選択（複数選択可）　 Maroka ver 0.565"),
                                       "すべてのファイル(*.*)|*;*.*|ユーザー設定(.NC)|*.NC",
                                       QString::fromStdString(folder.string()));
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return false;
    auto* name = Child<QLineEdit>(dialog, "fileNameEdit");
    name->setFocus();
    QTest::keyClicks(name, "O1000.NC");
    QTest::qWait(500); // the folder is read in the background
    const bool saved = Save(dialog, out, QStringLiteral("file-dialog-preview.png"));
    dialog.reject();
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: maroka-doc-pictures <folder>\n";
        return 2;
    }
    maroka::gui::InstallQtTranslations(app);
    if (QFontDatabase::hasFamily(QStringLiteral("Noto Sans CJK JP"))) {
        QFont font(QStringLiteral("Noto Sans CJK JP"));
        font.setPointSize(10);
        QApplication::setFont(font);
    }
    maroka::test::TempDir dir;
    maroka::session::SessionOptions options;
    options.programPath = (dir / "maroka").string();
    options.openLine = [](const std::string& port, std::string&) -> std::unique_ptr<maroka::serial::SerialLine> {
        return std::make_unique<maroka::test::FakeSerialLine>(port);
    };
    options.listPorts = [] { return std::vector<std::string>{"ttyUSB0"}; };
    MainSession session(std::move(options));
    session.Window().move(120, 80);
    session.Show();
    QTest::qWait(200);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    return SettingsPages(session, out) && EditorPictures(session, dir / "NC", out) ? 0 : 1;
}
