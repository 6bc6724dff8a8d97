// The file dialogs with preview, and the helpers behind them (filter texts,
// colour values).

#include "core/text/Encoding.h"
#include "gui/FileFilter.h"
#include "gui/GuiTests.h"
#include "gui/SettingColour.h"
#include "gui/TextFileDialog.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTreeView>

namespace maroka::gui::test {

namespace {

QString In(const maroka::test::TempDir& dir, const char* name = "")
{
    return QString::fromStdString((dir / name).string());
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void previewFollowsTheSelectionATypedNameAndTheCheckBox()
    {
        maroka::test::TempDir dir;
        maroka::test::WriteFileBytes(dir / "a.nc", "O0001\nG00X0\n");
        maroka::test::WriteFileBytes(dir / "O1000.nc", *text::Utf8ToCp932("O1000(加工)\nM30\n"));
        // 1023 ASCII bytes, then a two-byte character across the 1024 limit.
        maroka::test::WriteFileBytes(dir / "long.nc", std::string(1023, 'X') + *text::Utf8ToCp932("加工") + "\nM30\n");
        QCOMPARE(TextFileDialog::PreviewOf(In(dir, "long.nc")), QString(1023, u'X'));
        QCOMPARE(TextFileDialog::PreviewOf(In(dir)), QString());
        QCOMPARE(TextFileDialog::PreviewOf(In(dir, "missing.nc")), QString());

        TextFileDialog dialog(nullptr, TextFileDialog::Kind::OpenMany, "open", "NC(*.nc)|*.nc", In(dir));
        auto* check = Child<QCheckBox>(dialog, "PreviewCheckBox");
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        // As a click in the list does.
        auto* view = Child<QListView>(dialog, "listView");
        auto* model = qobject_cast<QFileSystemModel*>(view->model());
        QVERIFY(model);
        const QModelIndex file = model->index(In(dir, "a.nc"));
        QTRY_VERIFY(file.isValid());
        view->setCurrentIndex(file);
        QCOMPARE(dialog.PreviewText(), QStringLiteral("O0001\nG00X0\n"));
        check->setChecked(false);
        QCOMPARE(dialog.PreviewText(), QString());
        check->setChecked(true);
        QCOMPARE(dialog.PreviewText(), QStringLiteral("O0001\nG00X0\n"));

        // A typed name is what the dialog would open: it wins over the list.
        auto* name = Child<QLineEdit>(dialog, "fileNameEdit");
        name->setFocus();
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, "O1000.nc");
        QCOMPARE(dialog.PreviewText(), QStringLiteral("O1000(加工)\nM30\n"));
        auto* preview = Child<QPlainTextEdit>(dialog, "PreviewText");
        // Columns of NC words line up: every ASCII letter is as wide as another.
        const QFontMetrics metrics(preview->font());
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("iiii")), metrics.horizontalAdvance(QStringLiteral("WWWW")));
        QVERIFY(preview->isVisible());
    }

    void dialogShowsAllItsColumnsAndSavingGivesTheNameTheFiltersExtension()
    {
        maroka::test::TempDir dir;
        maroka::test::WriteFileBytes(dir / "O1000.nc", "O1000\n");
        for (const auto kind : {TextFileDialog::Kind::OpenOne, TextFileDialog::Kind::Save}) {
            TextFileDialog dialog(nullptr, kind, "title", "NC(*.nc)|*.nc|テキスト(*.txt)|*.txt;*.TXT", In(dir));
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            // Name, size, type and date all fit beside each other.
            auto* tree = Child<QTreeView>(dialog, "treeView");
            QVERIFY(tree->isVisible());
            QHeaderView* header = tree->header();
            int width = 0;
            for (int section = 0; section < 4; ++section) {
                QVERIFY(!header->isSectionHidden(section));
                QVERIFY(header->sectionSize(section) > 0);
                width += header->sectionSize(section);
            }
            QVERIFY2(width <= tree->viewport()->width(), qPrintable(QString::number(width)));
            QVERIFY(header->sectionSize(0) >= tree->fontMetrics().horizontalAdvance(QStringLiteral("O1000.nc")));
            if (kind == TextFileDialog::Kind::Save) {
                QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
                // A name typed, then the other type chosen, as the user does.
                auto* name = Child<QLineEdit>(dialog, "fileNameEdit");
                name->setFocus();
                QTest::keyClicks(name, "O1234.nc");
                QTest::keyClick(Child<QComboBox>(dialog, "fileTypeCombo"), Qt::Key_Down);
                QVERIFY(dialog.selectedFiles().value(0).endsWith("/O1234.txt"));
                QCOMPARE(dialog.defaultSuffix(), QStringLiteral("txt"));
            }
        }
    }

    void filterTextsBecomeNameFilters()
    {
        const std::pair<const char*, QStringList> filters[] = {
            {"すべてのファイル(*.*)|*;*.*", {"すべてのファイル(*.*) (* *.*)"}},
            {"NC|*.nc; *.NC |ユーザー設定(.tap)|*.tap|すべてのファイル(*.*)|*.*",
             {"NC (*.nc *.NC)", "ユーザー設定(.tap) (*.tap)", "すべてのファイル(*.*) (*.*)"}},
            // A label without a pattern, or with none usable, offers nothing.
            {"NC|*.nc|dangling", {"NC (*.nc)"}},
            {"Bad|; |NC|*.nc", {"NC (*.nc)"}},
            {"", {}},
            {"|*.nc", {"*.nc (*.nc)"}},
            // An entry offered once is not offered again, by label or by patterns.
            {"すべてのファイル(*.*)|*;*.*|ユーザー設定(.nc)|*.nc|すべてのファイル(*.*)|*.*|NC|*.nc",
             {"すべてのファイル(*.*) (* *.*)", "ユーザー設定(.nc) (*.nc)"}},
        };
        for (const auto& [filter, expected] : filters) {
            QCOMPARE(NameFilters(filter), expected);
        }
        const std::pair<const char*, const char*> extensions[] = {{"NC(*.nc) (*.nc *.NC)", "nc"},
                                                                  {"すべてのファイル(*.*) (* *.*)", ""},
                                                                  {"All (*.*)", ""},
                                                                  {"Some (O*.nc)", ""}};
        for (const auto& [filter, extension] : extensions) {
            QCOMPARE(FilterExtension(filter), QString::fromUtf8(extension));
        }
        const char* const names[][3] = {{"O1234.nc", "txt", "O1234.txt"},
                                        {"O1234", "nc", "O1234.nc"},
                                        {".profile", "nc", ".profile.nc"},
                                        {"dir.v2/O1234", "nc", "dir.v2/O1234.nc"},
                                        {"", "nc", ""},
                                        {"name.", "nc", "name."}};
        for (const auto& name : names) {
            QCOMPARE(WithExtension(name[0], name[1]), QString::fromLatin1(name[2]));
        }
    }

    void systemColoursComeFromThePaletteAndOthersAreFixed()
    {
        QPalette palette;
        palette.setColor(QPalette::Base, QColor(1, 2, 3));
        palette.setColor(QPalette::Text, QColor(4, 5, 6));
        palette.setColor(QPalette::Highlight, QColor(7, 8, 9));
        const std::pair<const char*, std::optional<QColor>> colours[] = {
            {"clWindow", QColor(1, 2, 3)},
            {"clWindowText", QColor(4, 5, 6)},
            {"clHighlight", QColor(7, 8, 9)},
        };
        for (const auto& [value, colour] : colours) {
            QCOMPARE(SettingColour(value, palette), colour);
        }
    }
};

int RunDialogsTests(int argc, char** argv)
{
    DialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace maroka::gui::test

#include "DialogsTest.moc"
