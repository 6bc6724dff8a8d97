// The port choice dialog, the file dialogs with preview, and the helpers
// behind them (filter texts, colour values).

#include "core/text/Encoding.h"
#include "gui/FileFilter.h"
#include "gui/GuiTests.h"
#include "gui/MainSession.h"
#include "gui/ModalScript.h"
#include "gui/SettingColour.h"
#include "gui/TComSelectForm.h"
#include "gui/TextFileDialog.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace maroka::gui::test {

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void portChoiceOffersTheOtherPorts()
    {
        QWidget main;
        main.move(200, 150);
        main.show();
        TComSelectForm form(&main, "ttyS0", {"ttyUSB0", "ttyUSB1", "ttyACM0"}, "Maroka ttyS0");
        QCOMPARE(form.windowTitle(), QStringLiteral(" 起動ポートの選択Maroka ttyS0"));
        QCOMPARE(form.findChild<QLabel*>("Label1")->text(), QStringLiteral("ttyS0 ポートを開けませんでした。"));
        QCOMPARE(form.findChild<QLabel*>("Label2")->text(), QStringLiteral("他のポートで起動しますか？"));
        QCOMPARE(form.findChild<QLabel*>("Label3")->text(), QStringLiteral("ポートの選択"));
        auto* box = form.findChild<QComboBox*>("ComboBox1");
        QCOMPARE(box->currentText(), QStringLiteral("ttyUSB0"));
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->itemText(0), QStringLiteral("ttyUSB1"));
        QCOMPARE(box->itemText(1), QStringLiteral("ttyACM0"));
        QCOMPARE(form.findChild<QPushButton*>("YesButton")->text(), QStringLiteral("はい(&Y)"));
        QCOMPARE(form.findChild<QPushButton*>("NoButton")->text(), QStringLiteral("いいえ(&N)"));
        QCOMPARE(form.pos(), main.pos() + QPoint(10, 10));
        // No close box: the answer is one of the two buttons (or Esc).
        QVERIFY(!(form.windowFlags() & Qt::WindowCloseButtonHint));
    }

    void portChoiceAnswers()
    {
        {
            TComSelectForm form(nullptr, "ttyS0", {"ttyUSB0", "ttyUSB1"}, "");
            WhenModalAppears<TComSelectForm>([](TComSelectForm* dialog) {
                auto* box = dialog->findChild<QComboBox*>("ComboBox1");
                box->setCurrentIndex(0);
                QTest::mouseClick(dialog->findChild<QPushButton*>("YesButton"), Qt::LeftButton);
            });
            QCOMPARE(form.Ask(), std::optional<std::string>("ttyUSB1"));
        }
        {
            TComSelectForm form(nullptr, "ttyS0", {"ttyUSB0"}, "");
            WhenModalAppears<TComSelectForm>([](TComSelectForm* dialog) {
                QTest::mouseClick(dialog->findChild<QPushButton*>("NoButton"), Qt::LeftButton);
            });
            QCOMPARE(form.Ask(), std::nullopt);
        }
        {
            TComSelectForm form(nullptr, "ttyS0", {"ttyUSB0"}, "");
            WhenModalAppears<TComSelectForm>([](TComSelectForm* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
            QCOMPARE(form.Ask(), std::nullopt);
        }
        {
            // A typed name counts; Enter means はい.
            TComSelectForm form(nullptr, "ttyS0", {}, "");
            WhenModalAppears<TComSelectForm>([](TComSelectForm* dialog) {
                auto* box = dialog->findChild<QComboBox*>("ComboBox1");
                QCOMPARE(box->currentText(), QString());
                QTest::keyClicks(box->lineEdit(), "/dev/pts/4");
                QTest::keyClick(box->lineEdit(), Qt::Key_Return);
            });
            QCOMPARE(form.Ask(), std::optional<std::string>("/dev/pts/4"));
        }
    }

    void previewShowsTheHeadOfTheFileAsText()
    {
        maroka::test::TempDir dir;
        // 1023 ASCII bytes, then a two-byte character across the 1024 limit.
        std::string bytes(1023, 'X');
        bytes += *text::Utf8ToCp932("加工");
        bytes += "\nM30\n";
        maroka::test::WriteFileBytes(dir / "long.nc", bytes);
        const QString preview = TextFileDialog::PreviewOf(QString::fromStdString((dir / "long.nc").string()));
        QCOMPARE(preview, QString(1023, u'X'));

        maroka::test::WriteFileBytes(dir / "short.nc", *text::Utf8ToCp932("%\nO0001(テスト)\nM30\n%\n"));
        QCOMPARE(TextFileDialog::PreviewOf(QString::fromStdString((dir / "short.nc").string())),
                 QStringLiteral("%\nO0001(テスト)\nM30\n%\n"));
        QCOMPARE(TextFileDialog::PreviewOf(QString::fromStdString(dir.Path().string())), QString());
        QCOMPARE(TextFileDialog::PreviewOf(QString::fromStdString((dir / "missing.nc").string())), QString());
    }

    void previewFollowsTheSelectionAndTheCheckBox()
    {
        maroka::test::TempDir dir;
        maroka::test::WriteFileBytes(dir / "a.nc", "O0001\nG00X0\n");
        const QString folder = QString::fromStdString(dir.Path().string());
        TextFileDialog dialog(nullptr, TextFileDialog::Kind::OpenOne, "open", "NC(*.nc)|*.nc", folder);
        auto* check = dialog.findChild<QCheckBox*>("PreviewCheckBox");
        QVERIFY(check);
        QCOMPARE(check->text(), QStringLiteral("プレビュー(&P)"));
        dialog.show();
        // As a click in the list does.
        auto* view = dialog.findChild<QListView*>("listView");
        auto* model = qobject_cast<QFileSystemModel*>(view->model());
        QVERIFY(model);
        const QModelIndex file = model->index(folder + "/a.nc");
        QTRY_VERIFY(file.isValid());
        view->setCurrentIndex(file);
        QCOMPARE(dialog.PreviewText(), QStringLiteral("O0001\nG00X0\n"));
        check->setChecked(false);
        QCOMPARE(dialog.PreviewText(), QString());
        QVERIFY(!dialog.PreviewEnabled());
        check->setChecked(true);
        QCOMPARE(dialog.PreviewText(), QStringLiteral("O0001\nG00X0\n"));
    }

    void previewOfATypedNameDecodesCp932AndUtf8InAFixedPitchFont()
    {
        maroka::test::TempDir dir;
        maroka::test::WriteFileBytes(dir / "O1000.nc", *text::Utf8ToCp932("O1000(加工)\nM30\n"));
        maroka::test::WriteFileBytes(dir / "O2000.nc", "O2000(仕上げ)\nM30\n");
        TextFileDialog dialog(nullptr, TextFileDialog::Kind::OpenMany, "open", "NC(*.nc)|*.nc",
                              QString::fromStdString(dir.Path().string()));
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
        name->setFocus();
        QTest::keyClicks(name, "O1000.nc");
        QCOMPARE(dialog.PreviewText(), QStringLiteral("O1000(加工)\nM30\n"));
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, "O2000.nc");
        QCOMPARE(dialog.PreviewText(), QStringLiteral("O2000(仕上げ)\nM30\n"));
        auto* preview = dialog.findChild<QPlainTextEdit*>("PreviewText");
        // Columns of NC words line up: every ASCII letter is as wide as another.
        const QFontMetrics metrics(preview->font());
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("iiii")), metrics.horizontalAdvance(QStringLiteral("WWWW")));
        QVERIFY(preview->isVisible());
    }

    void dialogSpeaksJapaneseAndShowsItsColumns()
    {
        maroka::test::TempDir dir;
        maroka::test::WriteFileBytes(dir / "O1000.nc", "O1000\n");
        for (const auto kind : {TextFileDialog::Kind::OpenOne, TextFileDialog::Kind::Save}) {
            TextFileDialog dialog(nullptr, kind, "title", "NC(*.nc)|*.nc", QString::fromStdString(dir.Path().string()));
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
            const bool save = kind == TextFileDialog::Kind::Save;
            QCOMPARE(buttons->button(save ? QDialogButtonBox::Save : QDialogButtonBox::Open)->text(),
                     save ? QStringLiteral("保存(&S)") : QStringLiteral("開く(&O)"));
            QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
            QCOMPARE(dialog.labelText(QFileDialog::FileName), QStringLiteral("ファイル名(&N):"));
            QCOMPARE(dialog.labelText(QFileDialog::FileType), QStringLiteral("ファイルの種類(&T):"));
            // Name, size, type and date all fit beside each other.
            auto* tree = dialog.findChild<QTreeView*>("treeView");
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
        }
    }

    void theExtensionRuleLeavesNoRepeatedFilterEntry()
    {
        maroka::test::TempDir dir;
        maroka::test::WriteFileBytes(dir / "O1.nc", "O1\n");
        maroka::test::WriteFileBytes(dir / "O2.nc", "O2\n");
        session::SessionOptions options;
        options.programPath = (dir / "maroka").string();
        options.listPorts = [] { return std::vector<std::string>{}; };
        MainSession main(options);
        main.Core().MutableSettings().sendFileOpenFolder = dir.Path().string();
        main.Window().show();
        ModalScript first;
        first.TypeFileName("O1.nc");
        main.ChooseSendFiles();
        QVERIFY2(first.Problems().isEmpty(), qPrintable(first.Problems().join("; ")));
        QCOMPARE(main.Core().Settings().sendFileFilter,
                 std::string("すべてのファイル(*.*)|*;*.*|ユーザー設定(.nc)|*.nc|すべてのファイル(*.*)|*.*"));
        QStringList offered;
        ModalScript second;
        second.Then([&offered](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            offered = dialog->nameFilters();
            dialog->reject();
        });
        main.ChooseSendFiles();
        QVERIFY2(second.Problems().isEmpty(), qPrintable(second.Problems().join("; ")));
        QCOMPARE(offered, QStringList({"すべてのファイル(*.*) (* *.*)", "ユーザー設定(.nc) (*.nc)"}));
    }

    void saveDialogGivesTheNameTheFiltersExtension()
    {
        maroka::test::TempDir dir;
        TextFileDialog dialog(nullptr, TextFileDialog::Kind::Save, "save", "NC(*.nc)|*.nc|テキスト(*.txt)|*.txt;*.TXT",
                              QString::fromStdString(dir.Path().string()));
        QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
        dialog.show();
        dialog.selectFile("O1234.nc");
        dialog.selectNameFilter(dialog.nameFilters().at(1));
        emit dialog.filterSelected(dialog.nameFilters().at(1));
        QVERIFY(dialog.selectedFiles().value(0).endsWith("/O1234.txt"));
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("txt"));
    }

    void filterTextsBecomeNameFilters()
    {
        QCOMPARE(NameFilters("すべてのファイル(*.*)|*;*.*"), QStringList({"すべてのファイル(*.*) (* *.*)"}));
        QCOMPARE(NameFilters("NC|*.nc; *.NC |ユーザー設定(.tap)|*.tap|すべてのファイル(*.*)|*.*"),
                 QStringList({"NC (*.nc *.NC)", "ユーザー設定(.tap) (*.tap)", "すべてのファイル(*.*) (*.*)"}));
        // A label without a pattern, or with none usable, offers nothing.
        QCOMPARE(NameFilters("NC|*.nc|dangling"), QStringList({"NC (*.nc)"}));
        QCOMPARE(NameFilters("Bad|; |NC|*.nc"), QStringList({"NC (*.nc)"}));
        QCOMPARE(NameFilters(""), QStringList());
        QCOMPARE(NameFilters("|*.nc"), QStringList({"*.nc (*.nc)"}));
        // An entry offered once is not offered again, by label or by patterns.
        QCOMPARE(NameFilters("すべてのファイル(*.*)|*;*.*|ユーザー設定(.nc)|*.nc|すべてのファイル(*.*)|*.*|NC|*.nc"),
                 QStringList({"すべてのファイル(*.*) (* *.*)", "ユーザー設定(.nc) (*.nc)"}));

        QCOMPARE(FilterExtension("NC(*.nc) (*.nc *.NC)"), QStringLiteral("nc"));
        QCOMPARE(FilterExtension("すべてのファイル(*.*) (* *.*)"), QString());
        QCOMPARE(FilterExtension("All (*.*)"), QString());
        QCOMPARE(FilterExtension("Some (O*.nc)"), QString());

        QCOMPARE(WithExtension("O1234.nc", "txt"), QStringLiteral("O1234.txt"));
        QCOMPARE(WithExtension("O1234", "nc"), QStringLiteral("O1234.nc"));
        QCOMPARE(WithExtension(".profile", "nc"), QStringLiteral(".profile.nc"));
        QCOMPARE(WithExtension("dir.v2/O1234", "nc"), QStringLiteral("dir.v2/O1234.nc"));
        QCOMPARE(WithExtension("", "nc"), QString());
        QCOMPARE(WithExtension("name.", "nc"), QStringLiteral("name."));
    }

    void colourValuesOfTheSettingsFile()
    {
        QPalette palette;
        palette.setColor(QPalette::Base, QColor(1, 2, 3));
        palette.setColor(QPalette::Text, QColor(4, 5, 6));
        QCOMPARE(SettingColour("clWindow", palette), std::optional<QColor>(QColor(1, 2, 3)));
        QCOMPARE(SettingColour("CLWINDOWTEXT", palette), std::optional<QColor>(QColor(4, 5, 6)));
        QCOMPARE(SettingColour("clRed", palette), std::optional<QColor>(QColor(255, 0, 0)));
        QCOMPARE(SettingColour("clSkyBlue", palette), std::optional<QColor>(QColor(0xA6, 0xCA, 0xF0)));
        // $00BBGGRR: blue in the high byte.
        QCOMPARE(SettingColour("$00FF8000", palette), std::optional<QColor>(QColor(0x00, 0x80, 0xFF)));
        QCOMPARE(SettingColour("$0000FFFF", palette), std::optional<QColor>(QColor(255, 255, 0)));
        // System colours by number follow the palette too.
        QCOMPARE(SettingColour("$FF000005", palette), std::optional<QColor>(QColor(1, 2, 3)));
        QCOMPARE(SettingColour("$80000008", palette), std::optional<QColor>(QColor(4, 5, 6)));
        palette.setColor(QPalette::Highlight, QColor(7, 8, 9));
        QCOMPARE(SettingColour("clHighlight", palette), std::optional<QColor>(QColor(7, 8, 9)));

        // Values the settings file never holds: decimal numbers, blanks (the
        // file reader trims them), short or long hexadecimal.
        for (const char* bad :
             {"", "clNoSuchColour", "$", "$1000000000", "$00GG0000", "red", "1.5", "16711680", " $0000FFFF", "$FFFF"}) {
            QVERIFY2(!SettingColour(bad, palette).has_value(), bad);
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
