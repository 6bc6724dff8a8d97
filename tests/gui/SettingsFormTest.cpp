// The main and settings windows over the real session: start-up fills the
// window from the settings file and closing it stores them; the settings
// window shows the settings, hands them back on every way of closing,
// applies the enabling and exclusion rules to its controls, keeps its lists,
// marks the prepared data stale when it should, and sends a test mail to a
// server the test starts.

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
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>

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
    options.listPorts = [] { return std::vector<std::string>{"FAKE0", "FAKE1"}; };
    return options;
}

settings::SettingsFile FileIn(const maroka::test::TempDir& dir)
{
    return settings::SettingsFile((dir / "maroka0.ini").string());
}

void SaveSettings(const maroka::test::TempDir& dir, const S& values)
{
    if (FileIn(dir).SaveSettings(values)) {
        qFatal("cannot write the settings");
    }
}

std::string SettingsFileBytes(const maroka::test::TempDir& dir)
{
    return maroka::test::ReadFileBytes(dir / "maroka0.ini");
}

bool Holds(const std::string& cp932File, const char* utf8Lines)
{
    return cp932File.find(maroka::test::Cp932Lines(utf8Lines)) != std::string::npos;
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

// The program with its settings window open; `shown` puts the main window
// on the screen first, as the user meets it.
std::unique_ptr<MainSession> WithSettingsOpen(const maroka::test::TempDir& dir, bool shown)
{
    auto session = std::make_unique<MainSession>(OptionsIn(dir));
    if (shown && (!session->Show() || !QTest::qWaitForWindowExposed(&session->Window()))) {
        qFatal("the main window did not show");
    }
    session->OpenSettings();
    return session;
}

std::vector<std::string> AllValues(const S& values)
{
    std::vector<std::string> texts;
    for (const settings::SettingKey& key : settings::SettingKeys()) {
        texts.push_back(std::string(key.key) + "=" + settings::FormatSettingValue(key, values));
    }
    return texts;
}

} // namespace

class SettingsFormTest : public QObject {
    Q_OBJECT

private slots:
    void startUpFillsTheWindowAndEscapeClosesAndSavesOnlyAfterYes()
    {
        maroka::test::TempDir dir;
        // As another editor saves it: UTF-8 with a byte order mark.
        const std::string utf8 = "\xEF\xBB\xBF[Maroka 設定]\r\nボーレート=4800\r\n";
        maroka::test::WriteFileBytes(dir / "maroka0.ini", utf8);
        MainSession session(OptionsIn(dir));
        TMainForm& form = session.Window();
        QCOMPARE(form.windowTitle(), QString::fromStdString(session.Core().VersionText()));
        QCOMPARE(Child<QLabel>(form, "Label9")->text(), QStringLiteral("maroka0.ini"));
        QCOMPARE(Child<QComboBox>(form, "ComboBox3")->currentText(), QStringLiteral("4800"));
        QVERIFY(form.StatusText().contains(QStringLiteral("UTF-8")));
        QVERIFY(form.StatusText().contains(QStringLiteral("maroka0.ini")));

        QVERIFY(session.Show());
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // First shown: the port list comes from the session's probe.
        QTRY_COMPARE(Child<QComboBox>(form, "ComboBox1")->count(), 2);
        auto* baud = Child<QComboBox>(form, "ComboBox3")->lineEdit();
        baud->selectAll();
        QTest::keyClicks(baud, "19200");
        ModalScript script;
        script.Press(QMessageBox::No).Press(QMessageBox::Yes);
        QTest::keyClick(baud, Qt::Key_Escape);
        QVERIFY(form.isVisible());
        QCOMPARE(SettingsFileBytes(dir), utf8);
        QTest::keyClick(baud, Qt::Key_Escape);
        VERIFY_SCRIPT(script);
        QVERIFY(form.Closed());
        QVERIFY(!form.isVisible());
        QVERIFY(Holds(SettingsFileBytes(dir), "ボーレート=19200\n"));
    }

    void showingFillsEveryControlAndEveryWayOfClosingApplies()
    {
        const S unusual = Unusual();
        maroka::test::TempDir dir;
        SaveSettings(dir, unusual);
        const auto session = WithSettingsOpen(dir, true);
        TSend_Set_Form& form = session->SettingsForm();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.frameGeometry().topLeft(), session->Window().frameGeometry().topLeft() + QPoint(5, 5));
        QCOMPARE(Child<QLineEdit>(form, "delayEdit")->text(), QString::fromStdString(unusual.sendDelayMs));
        QCOMPARE(Child<QComboBox>(form, "sendEobComboBox")->currentText(),
                 QString::fromStdString(unusual.sendEndOfBlock));
        QCOMPARE(Child<QComboBox>(form, "editorComboBox")->currentText(), QString::fromStdString(unusual.editor));
        QVERIFY(Child<QRadioButton>(form, "dc1RadioButton")->isChecked());
        QVERIFY(!Child<QCheckBox>(form, "delayCheckBox")->isChecked());
        // Nothing changed yet: closing hands back exactly what was shown.
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(AllValues(session->Core().Settings()), AllValues(unusual));

        // The button, Esc and the close box all apply the edits; that every
        // control is read back is the hand-back above.
        const std::function<void()> closings[] = {[&] { Child<QPushButton>(form, "ApplyButton")->click(); },
                                                  [&] { QTest::keyClick(&form, Qt::Key_Escape); },
                                                  [&] { form.close(); }};
        const char* const ends[] = {"LF+CR+CR", "CR+LF", "LF"};
        for (int way = 0; way < 3; ++way) {
            session->OpenSettings();
            Child<QCheckBox>(form, "delayCheckBox")->click();
            Child<QRadioButton>(form, "dc2RadioButton")->click();
            Child<QComboBox>(form, "receiveEobComboBox")->setCurrentText(QString::fromLatin1(ends[way]));
            closings[way]();
            QVERIFY(!form.isVisible());
            QCOMPARE(session->Core().Settings().sendDelayEnabled, way != 1);
            QVERIFY(!session->Core().Settings().receiveStartDc1);
            QCOMPARE(session->Core().Settings().receiveEndOfBlock, std::string(ends[way]));
        }
    }

    void noConversionSendDisablesTheConversionControlsOnlyAndResendExcludesIgnoringCycleStart()
    {
        maroka::test::TempDir dir;
        S values;
        values.sendWaitEnabled = true;
        SaveSettings(dir, values);
        const auto session = WithSettingsOpen(dir, false);
        TSend_Set_Form& form = session->SettingsForm();
        const char* conversion[] = {
            "headPercentCheckBox", "percentCommentCheckBox", "blockSkipCheckBox", "blockSkipEdit",
            "commentEdit",         "ignoreStringsCheckBox",  "twoByteCheckBox",   "convertCheckBox",
            "ignoreCodesCheckBox", "sendEobComboBox",        "ignoreCodeEdit"};
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
        for (const char* name : {"delayCheckBox", "delayEdit", "waitCheckBox", "waitEdit"}) {
            QVERIFY2(Child<QWidget>(form, name)->isEnabled(), name);
        }
        QVERIFY(Child<QCheckBox>(form, "delayCheckBox")->isChecked());
        QVERIFY(Child<QCheckBox>(form, "waitCheckBox")->isChecked());

        Child<QCheckBox>(form, "noConversionSendCheckBox")->click();
        QVERIFY(Child<QWidget>(form, "blockSkipEdit")->isEnabled());
        // The table still follows its own switch, which is off.
        QVERIFY(!Child<QWidget>(form, "conversionGrid")->isEnabled());

        // Resend mode and ignoring cycle start exclude each other.
        auto* resend = Child<QCheckBox>(form, "resendCheckBox");
        auto* ignore = Child<QCheckBox>(form, "ignoreCycleStartCheckBox");
        {
            // Nothing to give way: no message.
            ModalScript quiet;
            resend->click();
        }
        QVERIFY(resend->isChecked());

        ModalScript script;
        script.Press(QMessageBox::Ok).Press(QMessageBox::Ok);
        ignore->click();
        QVERIFY(ignore->isChecked());
        QVERIFY(!resend->isChecked());
        resend->click();
        VERIFY_SCRIPT(script);
        QCOMPARE(script.Texts(),
                 QStringList({"サイクルスタート無視を有効にすると、\n\n再送モードは、無効になります。",
                              "再送モードを有効にすると、\n\nサイクルスタート無視は、無効になります。"}));
        QVERIFY(resend->isChecked());
        QVERIFY(!ignore->isChecked());
        form.close();
        QVERIFY(session->Core().Settings().resendMode);
        QVERIFY(!session->Core().Settings().ignoreCycleStart);
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
        QVERIFY(!FileIn(dir).SaveListSettings(lists));
        const auto session = WithSettingsOpen(dir, false);
        TSend_Set_Form& form = session->SettingsForm();
        Child<QTabWidget>(form, "PageControl1")->setCurrentIndex(1);
        auto* grid = Child<QTableWidget>(form, "conversionGrid");
        QVERIFY(QTest::qWaitForWindowExposed(grid));
        QCOMPARE(grid->rowCount(), 21);
        QCOMPARE(grid->item(20, 1)->text(), QStringLiteral("V"));
        const QStringList headers{grid->item(0, 0)->text(), grid->item(0, 1)->text()};
        QVERIFY(!headers[0].isEmpty() && !headers[1].isEmpty());

        ModalScript script;
        script.Press(QMessageBox::No).Press(QMessageBox::Yes);
        Child<QPushButton>(form, "clearPairsButton")->click();
        QCOMPARE(grid->item(1, 0)->text(), QStringLiteral("X"));
        Child<QPushButton>(form, "clearPairsButton")->click();
        VERIFY_SCRIPT(script);
        QCOMPARE(QStringList({grid->item(0, 0)->text(), grid->item(0, 1)->text()}), headers);

        // Codes: added in upper case, deleted by selection, cleared after a question.
        auto* list = Child<QListWidget>(form, "ignoreCodeList");
        QTest::keyClicks(Child<QLineEdit>(form, "ignoreCodeEdit"), "m30");
        Child<QPushButton>(form, "addCodeButton")->click();
        list->item(0)->setSelected(true);
        Child<QPushButton>(form, "deleteCodeButton")->click();
        form.close();
        settings::ListSettings saved;
        QVERIFY(!FileIn(dir).LoadListSettings(saved));
        QCOMPARE(saved.subprogramIgnoreCodes, (std::vector<std::string>{"G04", "M30"}));
        QVERIFY(saved.conversionPairs[0].oldText.empty());
        QVERIFY(saved.conversionPairs[19].oldText.empty());

        session->OpenSettings();
        ModalScript clear;
        clear.Press(QMessageBox::Yes);
        Child<QPushButton>(form, "clearCodesButton")->click();
        VERIFY_SCRIPT(clear);
        QCOMPARE(list->count(), 0);
        form.close();
    }

    void aFolderChosenTwiceIsOnceAtTheTopOfItsHistoryAPickedColourShowsAtOnceAndClosingTheMainWindowKeepsAll()
    {
        maroka::test::TempDir dir;
        const std::string jobs = (dir / "jobs").string();
        const std::string other = (dir / "other").string();
        auto session = WithSettingsOpen(dir, true);
        TSend_Set_Form& form = session->SettingsForm();
        for (const std::string& folder : {jobs, other, jobs}) {
            std::filesystem::create_directories(folder);
            ModalScript script;
            script.On<QFileDialog>([folder](QFileDialog* dialog) {
                // A folder chooser accepted in a folder chooses that folder.
                dialog->setDirectory(QString::fromStdString(folder));
                static_cast<QDialog*>(dialog)->accept();
            });
            Child<QPushButton>(form, "serverFolderBrowseButton")->click();
        }
        auto* box = Child<QComboBox>(form, "serverFolderComboBox");
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->itemText(0), QString::fromStdString(jobs));
        QCOMPARE(box->itemText(1), QString::fromStdString(other));
        QCOMPARE(box->currentText(), QString::fromStdString(jobs));

        // A colour is applied before the window closes.
        ModalScript script;
        script.On<QColorDialog>([](QColorDialog* dialog) {
            dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
            dialog->accept();
        });
        Child<QPushButton>(form, "windowColourButton")->click();
        VERIFY_SCRIPT(script);
        QCOMPARE(session->Core().Settings().windowColour, std::string("$00563412"));
        QTRY_COMPARE(Child<QLineEdit>(session->Window(), "Edit1")->palette().color(QPalette::Base),
                     QColor(0x12, 0x34, 0x56));
        // Closing the main window keeps what the open settings window holds.
        Child<QLineEdit>(form, "mailHostEdit")->setText(QStringLiteral("mail.example"));
        session->Window().close();
        QVERIFY(!form.isVisible());
        QCOMPARE(session->Core().Settings().serverFolder, jobs);
        session.reset();
        QVERIFY(Holds(SettingsFileBytes(dir), "メールホスト=mail.example\n"));
        settings::ListSettings saved;
        QVERIFY(!FileIn(dir).LoadListSettings(saved));
        QCOMPARE(saved.folderHistory, (std::vector<std::string>{jobs, other}));
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
        change("showDataCheckBox");
        QCOMPARE(prepare(), built);
        change("twoByteCheckBox");
        QVERIFY(prepare() != built);
    }

    void theTestButtonSendsWithTheValuesOnScreen()
    {
        if (maroka::test::SmtpTestServer::Python().empty()) {
            QSKIP("no Python with aiosmtpd");
        }
        maroka::test::SmtpTestServer server;
        QVERIFY(server.Running());
        maroka::test::TempDir dir;
        const auto session = WithSettingsOpen(dir, false);
        TSend_Set_Form& form = session->SettingsForm();
        const std::pair<const char*, QString> fields[] = {{"mailHostEdit", "127.0.0.1"},
                                                          {"smtpPortEdit", QString::number(server.Port())},
                                                          {"mailIdEdit", "maroka"},
                                                          {"mailSenderAddressEdit", "cnc@example.com"},
                                                          {"mailRecipientEdit", "office@example.com"},
                                                          {"mailSubjectEdit", "加工終了"}};
        for (const auto& [name, value] : fields) {
            Child<QLineEdit>(form, name)->setText(value);
        }
        Child<QPlainTextEdit>(form, "mailMessageEdit")->setPlainText(QStringLiteral("２号機\n終了しました"));
        ModalScript script;
        script.Press(QMessageBox::Ok);
        Child<QPushButton>(form, "mailTestButton")->click();
        VERIFY_SCRIPT(script);
        QCOMPARE(script.Texts(), QStringList({"メールを送信しました。"}));
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
        QVERIFY(Holds(data, "２号機\n終了しました\n"));
        QVERIFY(data.find(*text::Utf8ToCp932("Subject: 加工終了")) != std::string::npos);
        form.close();
        // The message is kept for the next time the window opens.
        session->OpenSettings();
        QCOMPARE(Child<QPlainTextEdit>(form, "mailMessageEdit")->toPlainText(), QStringLiteral("２号機\n終了しました"));
        form.close();
    }
};

int RunSettingsFormTests(int argc, char** argv)
{
    SettingsFormTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace maroka::gui::test

#include "SettingsFormTest.moc"
