// The settings window over the real session: it shows the settings, hands
// them back on every way of closing, follows the enabling and exclusion
// rules, keeps its lists, marks the prepared data stale when it should, and
// sends a test mail to a server the test starts. Also: a settings file saved
// as UTF-8, and Qt's own buttons in Japanese.

#include "core/mail/SmtpTestServer.h"
#include "core/settings/SettingValue.h"
#include "core/settings/SettingsFile.h"
#include "core/text/Encoding.h"
#include "gui/GuiTests.h"
#include "gui/MainSession.h"
#include "gui/TSend_Set_Form.h"
#include "support/Cp932Lines.h"
#include "support/FakeSerialLine.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <filesystem>
#include <memory>

namespace maroka::gui::test {

namespace {

using S = settings::SessionSettings;

session::SessionOptions OptionsIn(const maroka::test::TempDir& dir)
{
    session::SessionOptions options;
    options.programPath = (dir / "maroka").string();
    options.openLine = [](const std::string& port, std::string&) -> std::unique_ptr<serial::SerialLine> {
        return std::make_unique<maroka::test::FakeSerialLine>(port);
    };
    options.listPorts = [] { return std::vector<std::string>{"FAKE0"}; };
    return options;
}

void SaveSettings(const maroka::test::TempDir& dir, const S& values)
{
    if (settings::SettingsFile((dir / "maroka0.ini").string()).SaveSettings(values)) {
        qFatal("cannot write the settings");
    }
}

// Every flag the other way round and every text a value of its own, so a
// control that is not filled, or filled from the wrong key, shows.
S Unusual()
{
    S values;
    int n = 0;
    for (const settings::SettingKey& key : settings::SettingKeys()) {
        if (const auto* flag = std::get_if<settings::FlagMember>(&key.member)) {
            values.*(*flag) = !(values.*(*flag));
        } else if (const auto* text = std::get_if<settings::TextMember>(&key.member)) {
            values.*(*text) = "v" + std::to_string(++n);
        }
    }
    values.startupPort = "FAKE0";
    return values;
}

std::vector<std::string> AllValues(const S& values)
{
    std::vector<std::string> texts;
    for (const settings::SettingKey& key : settings::SettingKeys()) {
        texts.push_back(std::string(key.key) + "=" + settings::FormatSettingValue(key, values));
    }
    return texts;
}

template <typename T> T* Child(QWidget& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no control %s", name);
    }
    return child;
}

// Answers the next message box and remembers its text and button captions.
struct BoxAnswer {
    QString text;
    QStringList buttons;
    bool seen = false;
};

std::shared_ptr<BoxAnswer> Answer(QMessageBox::StandardButton button, int patienceMs = 30000, bool required = true)
{
    auto answer = std::make_shared<BoxAnswer>();
    WhenModalAppears<QMessageBox>(
        [answer, button](QMessageBox* box) {
            answer->seen = true;
            answer->text = box->text();
            for (QAbstractButton* b : box->buttons()) {
                answer->buttons << b->text();
            }
            if (QAbstractButton* chosen = box->button(button)) {
                chosen->click();
            } else {
                box->reject();
            }
        },
        patienceMs, required);
    return answer;
}

std::string SettingsFileBytes(const maroka::test::TempDir& dir)
{
    return maroka::test::ReadFileBytes(dir / "maroka0.ini");
}

} // namespace

class SettingsFormTest : public QObject {
    Q_OBJECT

private slots:
    void showingFillsEveryControlAndEscapeAppliesLikeTheButton()
    {
        const S unusual = Unusual();
        std::vector<std::string> closedBy[2];
        for (int way = 0; way < 2; ++way) {
            maroka::test::TempDir dir;
            SaveSettings(dir, unusual);
            MainSession session(OptionsIn(dir));
            QVERIFY(session.Show());
            QVERIFY(QTest::qWaitForWindowExposed(&session.Window()));
            TSend_Set_Form& form = session.SettingsForm();
            session.OpenSettings();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QCOMPARE(form.windowTitle(), QStringLiteral(" Maroka ver 0.565　設定"));
            QCOMPARE(form.frameGeometry().topLeft(), session.Window().frameGeometry().topLeft() + QPoint(5, 5));
            QCOMPARE(Child<QLineEdit>(form, "delayEdit")->text(), QString::fromStdString(unusual.sendDelayMs));
            QCOMPARE(Child<QComboBox>(form, "sendEobComboBox")->currentText(),
                     QString::fromStdString(unusual.sendEndOfBlock));
            QCOMPARE(Child<QComboBox>(form, "editorComboBox")->currentText(), QString::fromStdString(unusual.editor));
            QVERIFY(Child<QRadioButton>(form, "dc1RadioButton")->isChecked());
            QVERIFY(!Child<QCheckBox>(form, "delayCheckBox")->isChecked());

            // Nothing changed yet: closing hands back exactly what was shown.
            if (way == 0) {
                QTest::keyClick(&form, Qt::Key_Escape);
            } else {
                Child<QPushButton>(form, "ApplyButton")->click();
            }
            QVERIFY(!form.isVisible());
            QCOMPARE(AllValues(session.Core().Settings()), AllValues(unusual));

            // The same edits, then the other way of closing.
            session.OpenSettings();
            Child<QCheckBox>(form, "delayCheckBox")->click();
            Child<QLineEdit>(form, "delayEdit")->setText(QStringLiteral("250"));
            Child<QRadioButton>(form, "dc2RadioButton")->click();
            Child<QComboBox>(form, "receiveEobComboBox")->setCurrentText(QStringLiteral("LF+CR+CR"));
            Child<QLineEdit>(form, "mailHostEdit")->setText(QStringLiteral("mail.example"));
            if (way == 0) {
                form.close();
            } else {
                QTest::keyClick(&form, Qt::Key_Escape);
            }
            QVERIFY(!form.isVisible());
            const S& applied = session.Core().Settings();
            QVERIFY(applied.sendDelayEnabled);
            QCOMPARE(applied.sendDelayMs, std::string("250"));
            QVERIFY(!applied.receiveStartDc1);
            QCOMPARE(applied.receiveEndOfBlock, std::string("LF+CR+CR"));
            QCOMPARE(applied.mailHost, std::string("mail.example"));
            closedBy[way] = AllValues(applied);
        }
        QCOMPARE(closedBy[0], closedBy[1]);
    }

    void closingTheMainWindowKeepsWhatTheOpenSettingsWindowHolds()
    {
        maroka::test::TempDir dir;
        {
            MainSession session(OptionsIn(dir));
            QVERIFY(session.Show());
            QVERIFY(QTest::qWaitForWindowExposed(&session.Window()));
            session.OpenSettings();
            Child<QLineEdit>(session.SettingsForm(), "mailHostEdit")->setText(QStringLiteral("mail.example"));
            session.Window().close();
            QVERIFY(!session.SettingsForm().isVisible());
        }
        QVERIFY(SettingsFileBytes(dir).find(maroka::test::Cp932Lines("メールホスト=mail.example\n")) !=
                std::string::npos);
    }

    void noConversionSendDisablesTheConversionControlsOnly()
    {
        maroka::test::TempDir dir;
        S values;
        values.sendWaitEnabled = true;
        SaveSettings(dir, values);
        MainSession session(OptionsIn(dir));
        TSend_Set_Form& form = session.SettingsForm();
        session.OpenSettings();
        const char* conversion[] = {
            "headPercentCheckBox", "percentCommentCheckBox", "blockSkipCheckBox", "blockSkipEdit",
            "commentEdit",         "ignoreStringsCheckBox",  "twoByteCheckBox",   "convertCheckBox",
            "ignoreCodesCheckBox", "sendEobComboBox",        "ignoreCodeEdit"};
        const char* line[] = {"delayCheckBox", "delayEdit", "waitCheckBox", "waitEdit"};
        for (const char* name : conversion) {
            QVERIFY2(Child<QWidget>(form, name)->isEnabled(), name);
        }
        Child<QCheckBox>(form, "noConversionSendCheckBox")->click();
        for (const char* name : conversion) {
            QVERIFY2(!Child<QWidget>(form, name)->isEnabled(), name);
        }
        for (const char* name : {"conversionGrid", "clearPairsButton", "ignoreCodeList", "addCodeButton"}) {
            QVERIFY2(!Child<QWidget>(form, name)->isEnabled(), name);
        }
        for (const char* name : line) {
            QVERIFY2(Child<QWidget>(form, name)->isEnabled(), name);
        }
        QVERIFY(Child<QCheckBox>(form, "delayCheckBox")->isChecked());
        QVERIFY(Child<QCheckBox>(form, "waitCheckBox")->isChecked());

        Child<QCheckBox>(form, "noConversionSendCheckBox")->click();
        QVERIFY(Child<QWidget>(form, "blockSkipEdit")->isEnabled());
        // The table still follows its own switch, which is off.
        QVERIFY(!Child<QWidget>(form, "conversionGrid")->isEnabled());
        form.close();
    }

    void resendAndIgnoringCycleStartExcludeEachOther()
    {
        maroka::test::TempDir dir;
        MainSession session(OptionsIn(dir));
        TSend_Set_Form& form = session.SettingsForm();
        session.OpenSettings();
        auto* resend = Child<QCheckBox>(form, "resendCheckBox");
        auto* ignore = Child<QCheckBox>(form, "ignoreCycleStartCheckBox");

        // Nothing to give way: no message (the watcher gives up after 0.2 s).
        auto quiet = Answer(QMessageBox::Ok, 200, false);
        resend->click();
        QVERIFY(resend->isChecked());
        QTest::qWait(400);
        QVERIFY(!quiet->seen);

        auto first = Answer(QMessageBox::Ok);
        ignore->click();
        QVERIFY(first->seen);
        QCOMPARE(first->text, QStringLiteral("サイクルスタート無視を有効にすると、\n\n再送モードは、無効になります。"));
        QVERIFY(ignore->isChecked());
        QVERIFY(!resend->isChecked());

        auto second = Answer(QMessageBox::Ok);
        resend->click();
        QVERIFY(second->seen);
        QCOMPARE(second->text,
                 QStringLiteral("再送モードを有効にすると、\n\nサイクルスタート無視は、無効になります。"));
        QVERIFY(resend->isChecked());
        QVERIFY(!ignore->isChecked());
        form.close();
        QVERIFY(session.Core().Settings().resendMode);
        QVERIFY(!session.Core().Settings().ignoreCycleStart);
    }

    void clearingTheListsAsksFirstAndKeepsTheHeaders()
    {
        maroka::test::TempDir dir;
        S values;
        values.convertOutputCharacters = true;
        values.subprogramIgnoreCodesEnabled = true;
        SaveSettings(dir, values);
        settings::ListSettings lists;
        lists.conversionPairs[0] = {"X", "U"};
        lists.conversionPairs[19] = {"Y", "V"};
        lists.subprogramIgnoreCodes = {"M01", "G04"};
        QVERIFY(!settings::SettingsFile((dir / "maroka0.ini").string()).SaveListSettings(lists));
        MainSession session(OptionsIn(dir));
        TSend_Set_Form& form = session.SettingsForm();
        session.OpenSettings();
        Child<QTabWidget>(form, "PageControl1")->setCurrentIndex(1);
        auto* grid = Child<QTableWidget>(form, "conversionGrid");
        QVERIFY(QTest::qWaitForWindowExposed(grid));
        QCOMPARE(grid->rowCount(), 21);
        QCOMPARE(grid->item(20, 1)->text(), QStringLiteral("V"));
        QCOMPARE(grid->columnWidth(0), (grid->width() - 23) / 2);

        auto no = Answer(QMessageBox::No);
        Child<QPushButton>(form, "clearPairsButton")->click();
        QVERIFY(no->seen);
        QCOMPARE(no->text, QStringLiteral("文字列変換リストの内容をすべてクリアします。\n\n　よろしいですか？"));
        QCOMPARE(grid->item(1, 0)->text(), QStringLiteral("X"));

        auto yes = Answer(QMessageBox::Yes);
        Child<QPushButton>(form, "clearPairsButton")->click();
        QVERIFY(yes->seen);
        for (int row = 1; row <= 20; ++row) {
            QVERIFY(grid->item(row, 0)->text().isEmpty());
            QVERIFY(grid->item(row, 1)->text().isEmpty());
        }
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("　　　旧文字列"));
        QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("　　　新文字列"));

        // Codes: added in upper case, deleted by selection, cleared after a question.
        auto* list = Child<QListWidget>(form, "ignoreCodeList");
        QTest::keyClicks(Child<QLineEdit>(form, "ignoreCodeEdit"), "m30");
        Child<QPushButton>(form, "addCodeButton")->click();
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(2)->text(), QStringLiteral("M30"));
        list->item(0)->setSelected(true);
        Child<QPushButton>(form, "deleteCodeButton")->click();
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("G04"));
        form.close();

        settings::ListSettings saved;
        QVERIFY(!settings::SettingsFile((dir / "maroka0.ini").string()).LoadListSettings(saved));
        QCOMPARE(saved.subprogramIgnoreCodes, (std::vector<std::string>{"G04", "M30"}));
        QVERIFY(saved.conversionPairs[0].oldText.empty());
        QVERIFY(saved.conversionPairs[19].oldText.empty());

        session.OpenSettings();
        auto clear = Answer(QMessageBox::Yes);
        Child<QPushButton>(form, "clearCodesButton")->click();
        QCOMPARE(clear->text,
                 QStringLiteral("サブプロ内無視コードリストの内容をすべてクリアします。\n\n　よろしいですか？"));
        QCOMPARE(list->count(), 0);
        form.close();
    }

    void qtButtonsSpeakJapanese()
    {
        maroka::test::TempDir dir;
        MainSession session(OptionsIn(dir));
        TSend_Set_Form& form = session.SettingsForm();
        session.OpenSettings();
        Child<QCheckBox>(form, "ignoreCodesCheckBox")->click();
        auto answer = Answer(QMessageBox::No);
        Child<QPushButton>(form, "clearCodesButton")->click();
        QVERIFY(answer->seen);
        QCOMPARE(answer->buttons.size(), 2);
        QVERIFY2(answer->buttons.join(u' ').contains(QStringLiteral("はい")), qPrintable(answer->buttons.join(u' ')));
        QVERIFY2(answer->buttons.join(u' ').contains(QStringLiteral("いいえ")), qPrintable(answer->buttons.join(u' ')));
        form.close();
    }

    void aFolderChosenTwiceIsOnceAtTheTopOfItsHistory()
    {
        maroka::test::TempDir dir;
        std::filesystem::create_directories(dir / "jobs");
        std::filesystem::create_directories(dir / "other");
        MainSession session(OptionsIn(dir));
        TSend_Set_Form& form = session.SettingsForm();
        session.OpenSettings();
        auto choose = [&](const std::string& folder) {
            WhenModalAppears<QFileDialog>([folder](QFileDialog* dialog) {
                // A folder chooser accepted in a folder chooses that folder.
                dialog->setDirectory(QString::fromStdString(folder));
                static_cast<QDialog*>(dialog)->accept();
            });
            Child<QPushButton>(form, "serverFolderBrowseButton")->click();
        };
        const std::string jobs = (dir / "jobs").string();
        const std::string other = (dir / "other").string();
        choose(jobs);
        choose(other);
        choose(jobs);
        auto* box = Child<QComboBox>(form, "serverFolderComboBox");
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->itemText(0), QString::fromStdString(jobs));
        QCOMPARE(box->itemText(1), QString::fromStdString(other));
        QCOMPARE(box->currentText(), QString::fromStdString(jobs));
        form.close();
        QCOMPARE(session.Core().Settings().serverFolder, jobs);
        settings::ListSettings saved;
        QVERIFY(!settings::SettingsFile((dir / "maroka0.ini").string()).LoadListSettings(saved));
        QCOMPARE(saved.folderHistory, (std::vector<std::string>{jobs, other}));
    }

    void aPickedColourShowsAtOnceInTheMainWindow()
    {
        maroka::test::TempDir dir;
        MainSession session(OptionsIn(dir));
        QVERIFY(session.Show());
        QVERIFY(QTest::qWaitForWindowExposed(&session.Window()));
        TSend_Set_Form& form = session.SettingsForm();
        session.OpenSettings();
        WhenModalAppears<QColorDialog>([](QColorDialog* dialog) {
            dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
            dialog->accept();
        });
        Child<QPushButton>(form, "windowColourButton")->click();
        QCOMPARE(session.Core().Settings().windowColour, std::string("$00563412"));
        auto* name = Child<QLineEdit>(session.Window(), "Edit1");
        QTRY_COMPARE(name->palette().color(QPalette::Base), QColor(0x12, 0x34, 0x56));
        form.close();
    }

    void onlyAChangeThatAltersTheDataMakesTheNextSendRebuild()
    {
        maroka::test::TempDir dir;
        S values;
        values.editor = "/bin/true";
        values.editorEnabled = true;
        SaveSettings(dir, values);
        const auto program = dir / "A.NC";
        maroka::test::WriteFileBytes(program, "%\nO1\nG01X1.\n%\n");
        // A file changed within the last second is never trusted to be unchanged.
        std::filesystem::last_write_time(program, std::filesystem::last_write_time(program) - std::chrono::seconds(10));
        MainSession session(OptionsIn(dir));
        session.Core().FilesDropped({program.string()});
        const auto prepared = dir / "Maroka_Work" / "SENDFILE.COM1";
        auto prepare = [&] {
            QTest::qWait(30); // a new file time must be able to differ
            session.Core().OpenSendData(session::ExternalKind::Editor);
            return std::filesystem::last_write_time(prepared);
        };
        auto change = [&](const char* control) {
            session.OpenSettings();
            Child<QCheckBox>(session.SettingsForm(), control)->click();
            session.SettingsForm().close();
        };
        const auto built = prepare();
        QCOMPARE(prepare(), built);

        change("showDataCheckBox");
        QCOMPARE(prepare(), built);
        change("exitAfterSendCheckBox");
        QCOMPARE(prepare(), built);

        // The delay changes nothing in the file, but it is part of what a
        // send is, so the dialog marks the data stale.
        change("delayCheckBox");
        const auto rebuilt = prepare();
        QVERIFY(rebuilt != built);
        QCOMPARE(prepare(), rebuilt);
        change("twoByteCheckBox");
        QVERIFY(prepare() != rebuilt);
    }

    void theTestButtonSendsWithTheValuesOnScreen()
    {
        if (maroka::test::SmtpTestServer::Python().empty()) {
            QSKIP("no Python with aiosmtpd");
        }
        maroka::test::SmtpTestServer server;
        QVERIFY(server.Running());
        maroka::test::TempDir dir;
        MainSession session(OptionsIn(dir));
        TSend_Set_Form& form = session.SettingsForm();
        session.OpenSettings();
        Child<QLineEdit>(form, "mailHostEdit")->setText(QStringLiteral("127.0.0.1"));
        Child<QLineEdit>(form, "smtpPortEdit")->setText(QString::number(server.Port()));
        Child<QLineEdit>(form, "mailIdEdit")->setText(QStringLiteral("maroka"));
        Child<QLineEdit>(form, "mailSenderAddressEdit")->setText(QStringLiteral("cnc@example.com"));
        Child<QLineEdit>(form, "mailRecipientEdit")->setText(QStringLiteral("office@example.com"));
        Child<QLineEdit>(form, "mailSubjectEdit")->setText(QStringLiteral("加工終了"));
        Child<QPlainTextEdit>(form, "mailMessageEdit")->setPlainText(QStringLiteral("２号機\n終了しました"));
        auto confirmation = Answer(QMessageBox::Ok);
        Child<QPushButton>(form, "mailTestButton")->click();
        QVERIFY(confirmation->seen);
        QCOMPARE(confirmation->text, QStringLiteral("メールを送信しました。"));
        // The dialog is still open: the values on screen were used all the same.
        QVERIFY(form.isVisible());

        std::string rcpt;
        std::string data;
        for (const auto& event : server.Events()) {
            if (event.command == "RCPT") {
                rcpt = event.argument;
            } else if (event.command == "DATA") {
                data = event.argument;
            }
        }
        QCOMPARE(rcpt, std::string("office@example.com"));
        QVERIFY(data.find(maroka::test::Cp932Lines("２号機\n終了しました\n")) != std::string::npos);
        QVERIFY(data.find(*text::Utf8ToCp932("Subject: 加工終了")) != std::string::npos);
        form.close();
        // The message is kept for the next time the window opens.
        session.OpenSettings();
        QCOMPARE(Child<QPlainTextEdit>(form, "mailMessageEdit")->toPlainText(), QStringLiteral("２号機\n終了しました"));
        form.close();
    }

    void aUtf8SettingsFileIsReadAndLeftAsCp932WithOneSection()
    {
        maroka::test::TempDir dir;
        maroka::test::WriteFileBytes(dir / "maroka0.ini", "\xEF\xBB\xBF[Maroka 設定]\r\nボーレート=4800\r\n"
                                                          "MEM/DNC=DNC\r\nエディタ=/usr/bin/nano\r\n");
        {
            MainSession session(OptionsIn(dir));
            QCOMPARE(session.Window().findChild<QComboBox*>("ComboBox3")->currentText(), QStringLiteral("4800"));
            QCOMPARE(session.Window().findChild<QComboBox*>("ComboBox7")->currentText(), QStringLiteral("DNC"));
            QVERIFY(session.Window().StatusText().contains(QStringLiteral("UTF-8")));
            QVERIFY(session.Window().StatusText().contains(QStringLiteral("maroka0.ini")));
            QCOMPARE(session.Core().Settings().editor, std::string("/usr/bin/nano"));
            session.Window().close();
        }
        const std::string bytes = SettingsFileBytes(dir);
        QVERIFY(text::Cp932ToUtf8(bytes).has_value());
        QVERIFY(!text::IsValidUtf8(bytes));
        const std::string header = *text::Utf8ToCp932("[Maroka 設定]");
        QVERIFY(bytes.find(header) != std::string::npos);
        QCOMPARE(bytes.find(header, bytes.find(header) + 1), std::string::npos);
        QVERIFY(bytes.find(maroka::test::Cp932Lines("ボーレート=4800\n")) != std::string::npos);
    }
};

int RunSettingsFormTests(int argc, char** argv)
{
    SettingsFormTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace maroka::gui::test

#include "SettingsFormTest.moc"
