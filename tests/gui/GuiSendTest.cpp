// The window sends to the simulated machine over a real pseudo-terminal:
// progress and end texts, a converted memory send of two files and a DNC
// send with subprogram calls, and a G65 main built in the program-list
// editor, each byte for byte what the preparation writes.

#include "core/logs/WorkFilePath.h"
#include "core/prepare/BlockSettings.h"
#include "core/prepare/SendFileBuilder.h"
#include "core/settings/SettingsFile.h"
#include "core/text/Cp932.h"
#include "gui/GuiTests.h"
#include "gui/MainSession.h"
#include "gui/ModalScript.h"
#include "machine/lib/SimulatedMachine.h"
#include "support/TempDir.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace maroka::gui::test {

namespace {

struct Bench {
    explicit Bench(bool waitForCycleStart = false)
    {
        std::string error;
        if (!machine.Start(error))
            qFatal("machine: %s", error.c_str());
        settings::SessionSettings initial;
        initial.startupPort = machine.DevicePath();
        initial.ignoreCycleStart = !waitForCycleStart;
        initial.sendDelayEnabled = false;
        initial.sendBufferSize = "64";
        if (settings::SettingsFile((dir / "maroka0.ini").string()).SaveSettings(initial))
            qFatal("cannot write the settings");
        session::SessionOptions options;
        options.programPath = (dir / "maroka").string();
        options.listPorts = [] { return std::vector<std::string>{}; };
        main = std::make_unique<MainSession>(options);
    }

    // What `maroka-cli prepare` writes for these entries in this mode.
    std::string Prepared(const std::vector<std::string>& entries, const std::string& mode)
    {
        settings::SessionSettings current;
        if (settings::SettingsFile((dir / "maroka0.ini").string()).LoadSettings(current))
            qWarning("cannot read the settings");
        settings::ListSettings lists;
        prepare::SendFileBuilder builder;
        prepare::BuildObserver quiet;
        const std::string out = (dir / "expected.nc").string();
        const auto result = builder.Build(entries, prepare::MakeBlockSettings(current, lists, mode), out, quiet);
        if (!result.ok)
            qWarning("prepare failed");
        return maroka::test::ReadFileBytes(out);
    }

    ~Bench()
    {
        // A failed check may leave a send running; closing a busy window
        // would wait on a question nobody answers.
        if (main)
            ResetIfBusy(*main);
    }

    // The worker's last call to the window is the hand-back to idle: the
    // end texts are all written by then.
    bool WaitUntilIdle()
    {
        return QTest::qWaitFor([this] { return main->Core().Idle() && !main->Core().TransferRunning(); }, 30000);
    }

    maroka::test::TempDir dir;
    machine::SimulatedMachine machine;
    std::unique_ptr<MainSession> main;
};

} // namespace

class GuiSendTest : public QObject {
    Q_OBJECT

private slots:
    void sendShowsProgressAndTheEndTexts()
    {
        Bench bench;
        std::string program = "%\nO0001(GUI)\n";
        for (int n = 0; n < 400; ++n)
            program += "N" + std::to_string(n) + "G01X" + std::to_string(n) + ".5\n";
        program += "M30\n%\n";
        maroka::test::WriteFileBytes(bench.dir / "O0001.NC", program);
        QVERIFY(bench.main->Show());
        TMainForm& form = bench.main->Window();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QSignalSpy progress(form.findChild<QProgressBar*>("ProgressBar1"), &QProgressBar::valueChanged);
        bench.main->FilesDropped({(bench.dir / "O0001.NC").string()});
        QTest::keyClick(&form, Qt::Key_F2);
        QVERIFY(bench.WaitUntilIdle());
        QCOMPARE(form.findChild<QLineEdit*>("Edit1")->text(), QStringLiteral(" O0001.NC 送信終了（再送可）"));
        const std::string expected = bench.Prepared({(bench.dir / "O0001.NC").string()}, "MEM");
        QTRY_COMPARE_WITH_TIMEOUT(bench.machine.ReceivedBytes().size(), expected.size(), 5000);
        QCOMPARE(bench.machine.ReceivedBytes(), expected);
        QVERIFY(form.StatusText().startsWith(QStringLiteral("ｻｲｸﾙﾀｲﾑ：")));
        QVERIFY(form.StatusText().endsWith(
            QStringLiteral(" 送信ﾊﾞｲﾄ数: ") +
            QString::fromStdString(text::FormatThousands(std::to_string(expected.size()))) + QStringLiteral("ﾊﾞｲﾄ")));
        QVERIFY(progress.count() > 2);
        QVERIFY(form.findChild<QWidget*>("SendButton")->isEnabled());
    }

    void convertedMemorySendIsWhatPrepareWrites()
    {
        Bench bench;
        maroka::test::WriteFileBytes(bench.dir / "b.nc", "o2000(second)\r\nG0x1.y2.   \r\n/M01\r\nm30\r\n");
        maroka::test::WriteFileBytes(bench.dir / "a.nc", "O1000(FIRST)\nG01X5.F100 'note\nM30\n");
        QVERIFY(bench.main->Show());
        TMainForm& form = bench.main->Window();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const std::vector<std::string> files{(bench.dir / "b.nc").string(), (bench.dir / "a.nc").string()};
        bench.main->FilesDropped(files);
        QTest::keyClick(&form, Qt::Key_F2);
        QVERIFY(bench.WaitUntilIdle());
        QVERIFY(bench.main->Core().LastTransferCompleted());
        // The session sorts the list by path, as the file dialog's choice is.
        const std::string expected = bench.Prepared({files[1], files[0]}, "MEM");
        QVERIFY(!expected.empty());
        QTRY_COMPARE_WITH_TIMEOUT(bench.machine.ReceivedBytes().size(), expected.size(), 5000);
        QCOMPARE(bench.machine.ReceivedBytes(), expected);
    }

    void dncSendExpandsSubprogramCalls()
    {
        Bench bench;
        maroka::test::WriteFileBytes(bench.dir / "SUB.NC", "O9000\nG91G01X#24F#9\nM99\n");
        maroka::test::WriteFileBytes(bench.dir / "MAIN.NC", "O1000\nG65[SUB.NC]X10.F500\nG65[SUB.NC]X-10.F800\nM30\n");
        QVERIFY(bench.main->Show());
        TMainForm& form = bench.main->Window();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* mode = form.findChild<QComboBox*>("ComboBox7");
        mode->setCurrentText(QStringLiteral("DNC"));
        bench.main->FilesDropped({(bench.dir / "MAIN.NC").string()});
        QTest::keyClick(&form, Qt::Key_F2);
        QVERIFY(bench.WaitUntilIdle());
        const std::string expected = bench.Prepared({(bench.dir / "MAIN.NC").string()}, "DNC");
        QVERIFY(expected.find("X10.") != std::string::npos);
        QVERIFY(expected.find("G65") == std::string::npos);
        QTRY_COMPARE_WITH_TIMEOUT(bench.machine.ReceivedBytes().size(), expected.size(), 5000);
        QCOMPARE(bench.machine.ReceivedBytes(), expected);
    }

    void g65MainFromTheEditorIsSentExpandedThroughTheWorkFile()
    {
        Bench bench;
        maroka::test::WriteFileBytes(bench.dir / "SUB.NC", "O9000\nG91G01X10.F500\nM99\n");
        QVERIFY(bench.main->Show());
        TMainForm& form = bench.main->Window();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.findChild<QComboBox*>("ComboBox7")->setCurrentText(QStringLiteral("DNC"));
        form.findChild<QAction*>("EditMenuItem")->trigger();
        TEditorForm& editor = bench.main->Editor();
        QVERIFY(editor.isVisible());
        editor.findChild<QAction*>("G65MenuItem")->trigger();
        const std::string sub = (bench.dir / "SUB.NC").string();
        editor.Editor().FilesDropped({sub});
        QCOMPARE(editor.TextEdit()->toPlainText(), QString::fromStdString("G65[" + sub + "]\n"));

        ModalScript script;
        script.Press(QMessageBox::No); // not saved: the work file carries it
        // The menu bar's send waits for a first hand-over; the text's own
        // menu sends at any time.
        QVERIFY(!editor.findChild<QAction*>("SendMenuItem")->isEnabled());
        editor.findChild<QAction*>("PopupSendItem")->trigger();
        QVERIFY2(script.Problems().isEmpty(), qPrintable(script.Problems().join("; ")));
        QCOMPARE(script.Texts(), QStringList({"編集中のファイルを保存しますか?"}));
        QVERIFY(!editor.isVisible());
        QVERIFY(editor.TextEdit()->toPlainText().isEmpty());

        const std::string work = bench.main->Core().WorkFilePath(logs::kG65SendFile);
        QVERIFY(QString::fromStdString(work).contains("G65_SENDFILE."));
        QCOMPARE(bench.main->Core().SendFileList(), std::optional<std::vector<std::string>>({work}));
        QCOMPARE(maroka::test::ReadFileBytes(work), "G65[" + sub + "]\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(bench.main->Core().Idle() && !bench.main->Core().TransferRunning(), 15000);
        QVERIFY(bench.main->Core().LastTransferCompleted());
        const std::string expected = bench.Prepared({work}, "DNC");
        QVERIFY(expected.find("(*SUB.NC.001)") != std::string::npos);
        QVERIFY(expected.find("G91G01X10.F500") != std::string::npos);
        QVERIFY(expected.find("G65") == std::string::npos);
        QTRY_COMPARE_WITH_TIMEOUT(bench.machine.ReceivedBytes().size(), expected.size(), 5000);
        QCOMPARE(bench.machine.ReceivedBytes(), expected);
    }

    void closeBoxDuringASendAsksFirstAndThenSaysItCloses()
    {
        Bench bench(true);
        maroka::test::WriteFileBytes(bench.dir / "O1.NC", "%\nO1\n%\n");
        QVERIFY(bench.main->Show());
        TMainForm& form = bench.main->Window();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        bench.main->FilesDropped({(bench.dir / "O1.NC").string()});
        QTest::keyClick(&form, Qt::Key_F2);
        QVERIFY(QTest::qWaitFor([&] { return form.StatusText() == QStringLiteral("サイクルスタート待ち"); }, 30000));

        QStringList seen;
        const auto answer = [&seen](QMessageBox::StandardButton button) {
            return [&seen, button](QMessageBox* box) {
                seen << box->text();
                if (auto* pressed = box->button(button))
                    pressed->click();
                else
                    box->reject();
            };
        };
        WhenModalAppears<QMessageBox>(answer(QMessageBox::No));
        form.close();
        QCOMPARE(seen, QStringList{QStringLiteral("Maroka を終了します。\n\nよろしいですか？")});
        QVERIFY(!form.Closed());
        QVERIFY(bench.main->Core().TransferRunning());

        WhenModalAppears<QMessageBox>([&](QMessageBox* box) {
            WhenModalAppears<QMessageBox>(answer(QMessageBox::Ok));
            answer(QMessageBox::Yes)(box);
        });
        form.close();
        QCOMPARE(seen.size(), 3);
        QCOMPARE(seen.last(), QStringLiteral("Maroka を終了します。"));
        QVERIFY(form.Closed());
        QVERIFY(QTest::qWaitFor([&] { return !bench.main->Core().TransferRunning(); }, 10000));
        QCOMPARE(bench.machine.ReceivedBytes(), std::string());
    }
};

int RunGuiSendTests(int argc, char** argv)
{
    GuiSendTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace maroka::gui::test

#include "GuiSendTest.moc"
