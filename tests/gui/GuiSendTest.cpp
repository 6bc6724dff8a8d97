// The window sends to the simulated machine over a real pseudo-terminal:
// a memory send started by F2 with its progress and end texts, and a DNC
// send of a G65 main built in the program-list editor, each byte for byte
// what the preparation writes; and the close box during a send.

#include "core/logs/WorkFilePath.h"
#include "core/prepare/BlockSettings.h"
#include "core/prepare/SendFileBuilder.h"
#include "core/settings/SettingsFile.h"
#include "gui/GuiTests.h"
#include "gui/MainSession.h"
#include "machine/lib/SimulatedMachine.h"
#include "support/TempDir.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalSpy>

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

    // The window on screen, with `files` chosen by a drop.
    TMainForm& Shown(const std::vector<std::string>& files)
    {
        if (!main->Show() || !QTest::qWaitForWindowExposed(&main->Window()))
            qFatal("the main window did not show");
        if (!files.empty())
            main->FilesDropped(files);
        return main->Window();
    }

    // The worker's last call to the window is the hand-back to idle: the
    // end texts are all written by then.
    bool WaitUntilIdle()
    {
        return QTest::qWaitFor([this] { return main->Core().Idle() && !main->Core().TransferRunning(); }, 30000);
    }

    // The machine has taken all of `expected` and nothing else.
    void CheckReceived(const std::string& expected)
    {
        QTRY_COMPARE_WITH_TIMEOUT(machine.ReceivedBytes().size(), expected.size(), 5000);
        QCOMPARE(machine.ReceivedBytes(), expected);
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
        TMainForm& form = bench.Shown({(bench.dir / "O0001.NC").string()});
        // The window keeps drawing while the worker sends.
        QSignalSpy progress(Child<QProgressBar>(form, "ProgressBar1"), &QProgressBar::valueChanged);
        QTest::keyClick(&form, Qt::Key_F2);
        QVERIFY(bench.WaitUntilIdle());
        QCOMPARE(Child<QLineEdit>(form, "Edit1")->text(), QStringLiteral(" O0001.NC 送信終了（再送可）"));
        const std::string expected = bench.Prepared({(bench.dir / "O0001.NC").string()}, "MEM");
        bench.CheckReceived(expected);
        QVERIFY(progress.count() > 2);
        QVERIFY(Child<QWidget>(form, "SendButton")->isEnabled());
    }

    void g65MainFromTheEditorIsSentExpandedThroughTheWorkFile()
    {
        Bench bench;
        maroka::test::WriteFileBytes(bench.dir / "SUB.NC", "O9000\nG91G01X10.F500\nM99\n");
        TMainForm& form = bench.Shown({});
        // The mode box decides the kind of send.
        Child<QComboBox>(form, "ComboBox7")->setCurrentText(QStringLiteral("DNC"));
        Child<QAction>(form, "EditMenuItem")->trigger();
        TEditorForm& editor = bench.main->Editor();
        QVERIFY(editor.isVisible());
        Child<QAction>(editor, "G65MenuItem")->trigger();
        const std::string sub = (bench.dir / "SUB.NC").string();
        editor.Editor().FilesDropped({sub});

        ModalScript script;
        script.Press(QMessageBox::No); // not saved: the work file carries it
        // The menu bar's send waits for a first hand-over (the editor's test);
        // the text's own menu sends at any time.
        Child<QAction>(editor, "PopupSendItem")->trigger();
        VERIFY_SCRIPT(script);
        QVERIFY(!editor.isVisible());
        QVERIFY(editor.TextEdit()->toPlainText().isEmpty());

        // What the work file holds and how a G65 main expands are the
        // editor's and the preparation's own tests.
        QVERIFY(bench.WaitUntilIdle());
        QVERIFY(bench.main->Core().LastTransferCompleted());
        bench.CheckReceived(bench.Prepared({bench.main->Core().WorkFilePath(logs::kG65SendFile)}, "DNC"));
    }

    void closeBoxDuringASendAsksFirstAndThenSaysItCloses()
    {
        Bench bench(true);
        maroka::test::WriteFileBytes(bench.dir / "O1.NC", "%\nO1\n%\n");
        TMainForm& form = bench.Shown({(bench.dir / "O1.NC").string()});
        QTest::keyClick(&form, Qt::Key_F2);
        QVERIFY(QTest::qWaitFor([&] { return form.StatusText() == QStringLiteral("サイクルスタート待ち"); }, 30000));

        ModalScript script;
        script.Press(QMessageBox::No);
        form.close();
        QVERIFY(!form.Closed());
        QVERIFY(bench.main->Core().TransferRunning());
        script.Press(QMessageBox::Yes).Press(QMessageBox::Ok);
        form.close();
        VERIFY_SCRIPT(script);
        QCOMPARE(script.Texts(), QStringList({"Maroka を終了します。\n\nよろしいですか？",
                                              "Maroka を終了します。\n\nよろしいですか？", "Maroka を終了します。"}));
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
