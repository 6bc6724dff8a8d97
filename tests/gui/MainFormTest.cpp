// The main window on its own, with a recorder in place of the session: its
// controls, menus, keys, drops and busy state. And the Qt front end over it
// as the core sees it: calls from the transfer worker are carried out on the
// UI thread in order, questions come back with the user's answer, and a
// released front end never keeps a worker waiting.

#include "gui/GuiTests.h"
#include "gui/MainWindowCommands.h"
#include "gui/QtUserInterface.h"
#include "gui/TComSelectForm.h"
#include "gui/TMainForm.h"
#include "gui/TextFileDialog.h"
#include "support/TempDir.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QToolButton>
#include <QUrl>

#include <atomic>
#include <memory>
#include <thread>

namespace maroka::gui::test {

namespace {

// A command target that only writes down what reached it, so a test sees
// which command a key, button, menu item or box edit turned into.
class RecordingCommands final : public MainWindowCommands {
public:
    QStringList calls;
    // Run inside PortDropDown, as the session refills the list there.
    std::function<void()> onPortDropDown;

    void ChooseSendFiles() override { calls << "ChooseSendFiles"; }
    void Send() override { calls << "Send"; }
    void DirectSend() override { calls << "DirectSend"; }
    void Receive() override { calls << "Receive"; }
    void Reset() override { calls << "Reset"; }
    void StartServer() override { calls << "StartServer"; }
    void CheckData() override { calls << "CheckData"; }
    void OpenSettings() override { calls << "OpenSettings"; }
    void ViewSettingsFile() override { calls << "ViewSettingsFile"; }
    void ShowHelp() override { calls << "ShowHelp"; }
    bool ConfirmExit() override
    {
        calls << "ConfirmExit";
        return false;
    }
    void ShowAbout() override { calls << "ShowAbout"; }
    void OpenProgramListEditor() override { calls << "OpenProgramListEditor"; }
    void OpenSendData(session::ExternalKind kind) override
    {
        calls << QStringLiteral("OpenSendData %1").arg(static_cast<int>(kind));
    }
    void OpenReceivedFile(std::size_t index) override { calls << QStringLiteral("OpenReceivedFile %1").arg(index); }
    void OpenCommLog() override { calls << "OpenCommLog"; }
    void ClearCommLog() override { calls << "ClearCommLog"; }
    void OpenErrorLog() override { calls << "OpenErrorLog"; }
    void SaveSendFile() override { calls << "SaveSendFile"; }
    void ClearFiles() override { calls << "ClearFiles"; }
    void SendDc2() override { calls << "SendDc2"; }
    void FilesDropped(const std::vector<std::string>& paths) override
    {
        QStringList list;
        for (const std::string& path : paths) {
            list << QString::fromStdString(path);
        }
        calls << "FilesDropped " + list.join(u'|');
    }
    void PortDropDown() override
    {
        calls << "PortDropDown";
        if (onPortDropDown) {
            onPortDropDown();
        }
    }
    void PortChanged(const std::string& port) override { calls << "PortChanged " + QString::fromStdString(port); }
    void SetLineBox(session::LineBox box, const std::string& text) override
    {
        calls << QStringLiteral("SetLineBox %1 %2").arg(static_cast<int>(box)).arg(QString::fromStdString(text));
    }
    void Close() override { calls << "Close"; }
};

// The tool buttons in order, and what they and the keys F1 to F10 start.
const char* const kButtons[] = {"OpenButton",   "SendButton",  "D_SendButton",  "ReceiveButton", "ResetButton",
                                "ServerButton", "CheckButton", "SettingButton", "SetViewButton", "HelpButton"};
const QStringList kButtonCommands{"ChooseSendFiles", "Send",      "DirectSend",   "Receive",          "Reset",
                                  "StartServer",     "CheckData", "OpenSettings", "ViewSettingsFile", "ShowHelp"};

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainForm> form_;
    std::unique_ptr<QtUserInterface> ui_;
    RecordingCommands commands_;

    QStringList Take() { return std::exchange(commands_.calls, {}); }

    void PressFunctionKeys(QWidget* target)
    {
        for (int key = Qt::Key_F1; key <= Qt::Key_F10; ++key) {
            QTest::keyClick(target, static_cast<Qt::Key>(key));
        }
    }

private slots:
    void init()
    {
        commands_ = RecordingCommands{};
        form_ = std::make_unique<TMainForm>();
        form_->Attach(&commands_);
        ui_ = std::make_unique<QtUserInterface>(*form_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    void cleanup()
    {
        ui_.reset();
        form_->Attach(nullptr);
        form_.reset();
    }

    void buttonsMenusAndFunctionKeysReachTheirCommands()
    {
        for (const char* name : kButtons) {
            QTest::mouseClick(Child<QToolButton>(*form_, name), Qt::LeftButton);
        }
        QCOMPARE(Take(), kButtonCommands);
        form_->SetSendDataMenuEnabled(true);
        for (const char* name : {"OpenMenuItem", "EditMenuItem", "SettingsMenuItem", "SendDataEditorItem",
                                 "SendDataViewerItem", "SendDataOtherAppItem", "CommLogMenuItem", "ErrorLogMenuItem",
                                 "HelpTopicsMenuItem", "AboutMenuItem", "PopupCommLogItem", "PopupClearCommLogItem",
                                 "PopupSaveSendFileItem", "PopupClearFilesItem", "PopupErrorLogItem", "PopupDc2Item"}) {
            Child<QAction>(*form_, name)->trigger();
        }
        QCOMPARE(Take(), QStringList({"ChooseSendFiles", "OpenProgramListEditor", "OpenSettings", "OpenSendData 0",
                                      "OpenSendData 1", "OpenSendData 2", "OpenCommLog", "OpenErrorLog", "ShowHelp",
                                      "ShowAbout", "OpenCommLog", "ClearCommLog", "SaveSendFile", "ClearFiles",
                                      "OpenErrorLog", "SendDc2"}));

        // The keys win over the focused box: F4 would otherwise open its list.
        auto* baud = Child<QComboBox>(*form_, "ComboBox3");
        baud->lineEdit()->setFocus();
        baud->setEditText("9600");
        Take();
        PressFunctionKeys(baud->lineEdit());
        QCOMPARE(Take(), kButtonCommands);
        QVERIFY(!baud->view()->isVisible());
        QCOMPARE(baud->currentText(), QStringLiteral("9600"));

        // While a transfer runs the buttons are off, but the keys still reach
        // the session, which decides.
        form_->SetBusy(true);
        auto* memo = Child<QPlainTextEdit>(*form_, "Memo1");
        PressFunctionKeys(memo);
        QCOMPARE(Take(), kButtonCommands);

        // Held keys repeat nothing, and other windows keep their keys.
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(memo, &repeat);
        QLineEdit other;
        other.show();
        QTest::keyClick(&other, Qt::Key_F2);
        QTest::keyClick(&other, Qt::Key_Escape);
        QVERIFY(commands_.calls.isEmpty());
    }

    // Esc's question is asked over the real session in SettingsFormTest.
    void theCloseBoxClosesTheSessionOnce()
    {
        form_->close();
        form_->close();
        QCOMPARE(commands_.calls, QStringList({"Close"}));
        QVERIFY(form_->Closed());
    }

    void dataMenusFollowTheSelectionAndTheReceivedFiles()
    {
        auto* sendData = Child<QMenu>(*form_, "SendDataMenu");
        auto* received = Child<QMenu>(*form_, "ReceivedDataMenu");
        QVERIFY(!sendData->menuAction()->isEnabled());
        QVERIFY(!received->menuAction()->isEnabled());
        form_->SetSendDataMenuEnabled(true);
        QVERIFY(sendData->menuAction()->isEnabled());

        form_->SetReceivedFiles({"/data/O0001.nc", "/data/R&D.nc"});
        QVERIFY(received->menuAction()->isEnabled());
        QStringList texts;
        for (QAction* action : received->actions()) {
            texts << action->text();
        }
        QCOMPARE(texts, QStringList({"&1 /data/O0001.nc", "&2 /data/R&&D.nc"}));
        received->actions().at(1)->trigger();
        QCOMPARE(commands_.calls, QStringList({"OpenReceivedFile 1"}));
        form_->SetReceivedFiles({});
        QVERIFY(received->actions().isEmpty());
        QVERIFY(!received->menuAction()->isEnabled());
    }

    void busyDisablesExactlyTheStartingControls()
    {
        const QStringList offWhileBusy{
            "OpenButton",    "SendButton",   "D_SendButton", "ReceiveButton",    "ServerButton", "CheckButton",
            "SettingButton", "OpenMenuItem", "EditMenuItem", "SettingsMenuItem", "ComboBox1",    "ComboBox2",
            "ComboBox3",     "ComboBox4",    "ComboBox5",    "ComboBox6",        "ComboBox7"};
        const QStringList alwaysOn{"ResetButton",         "SetViewButton",   "HelpButton",        "CheckMenuItem",
                                   "HelpMenuItem",        "CommLogMenuItem", "PopupCommLogItem",  "PopupDc2Item",
                                   "PopupClearFilesItem", "AboutMenuItem",   "HelpTopicsMenuItem"};
        auto enabled = [this](const QString& name) {
            if (auto* widget = form_->findChild<QWidget*>(name)) {
                return widget->isEnabled();
            }
            return Child<QAction>(*form_, qPrintable(name))->isEnabled();
        };
        form_->SetBusy(true);
        for (const QString& name : offWhileBusy) {
            QVERIFY2(!enabled(name), qPrintable(name));
        }
        for (const QString& name : alwaysOn) {
            QVERIFY2(enabled(name), qPrintable(name));
        }
        form_->SetBusy(false);
        for (const QString& name : offWhileBusy + alwaysOn) {
            QVERIFY2(enabled(name), qPrintable(name));
        }
    }

    // Typed edits reach the real session in SettingsFormTest's start-up test.
    void theSessionsBoxTextsAreShownAndThePortListIsRefilledBeforeItOpens()
    {
        form_->ShowLineBoxes({"ttyS0", "2", "19200", "20", "ASC", "93H", "DNC"});
        QStringList shown;
        for (const char* name :
             {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4", "ComboBox5", "ComboBox6", "ComboBox7"}) {
            shown << Child<QComboBox>(*form_, name)->currentText();
        }
        QCOMPARE(shown, QStringList({"ttyS0", "2", "19200", "20", "ASC", "93H", "DNC"}));
        auto* port = Child<QComboBox>(*form_, "ComboBox1");
        commands_.onPortDropDown = [this] { form_->SetPortItems({"ttyS0", "ttyUSB0", "/dev/pts/3"}); };
        port->showPopup();
        // The session's own texts do not echo back as edits.
        QCOMPARE(commands_.calls, QStringList({"PortDropDown"}));
        QCOMPARE(port->count(), 3);
        QCOMPARE(port->currentText(), QStringLiteral("ttyS0"));
        QVERIFY(port->view()->isVisible());

        // Picking a port in the list switches; the text change itself is
        // also the box's new text.
        QTest::keyClick(port->view(), Qt::Key_Down);
        QTest::keyClick(port->view(), Qt::Key_Return);
        QCOMPARE(commands_.calls, QStringList({"PortDropDown", "SetLineBox 0 ttyUSB0", "PortChanged ttyUSB0"}));

        // A refill keeps a typed name that is not in the list.
        form_->ShowLineBoxes({"/dev/ttyX", "2", "9600", "1", "ISO", "13H", "MEM"});
        form_->SetPortItems({"ttyS0"});
        QCOMPARE(port->currentText(), QStringLiteral("/dev/ttyX"));
    }

    void droppedLocalFilesGoToTheSessionInOrder()
    {
        const QPoint at = form_->centralWidget()->geometry().center();
        QVERIFY(DropUrls(*form_, at,
                         {QUrl::fromLocalFile("/tmp/b.nc"), QUrl("https://example.com/x.nc"),
                          QUrl::fromLocalFile("/tmp/プログラム a.nc")}));
        QCOMPARE(commands_.calls, QStringList({"FilesDropped /tmp/b.nc|/tmp/プログラム a.nc"}));
        QVERIFY(!DropUrls(*form_, at, {QUrl("https://example.com/x.nc")}));
    }

    void progressIsScaledToPercent()
    {
        auto* progress = Child<QProgressBar>(*form_, "ProgressBar1");
        const long long cases[][3] = {
            {50, 200, 25}, {3'000'000'000LL, 4'000'000'000LL, 75}, {5, 0, 0}, {300, 200, 100}};
        for (const auto& c : cases) {
            form_->SetProgress(c[0], c[1]);
            QCOMPARE(progress->value(), c[2]);
        }
    }

    void geometryNeverShrinksBelowTheLayout()
    {
        form_->ApplyGeometry({40, 30, 377, 300}, false);
        const QSize hint = form_->sizeHint();
        QCOMPARE(form_->size(), QSize(std::max(377, hint.width()), std::max(300, hint.height())));
        form_->ApplyGeometry({10, 20, 2000, 1500}, false);
        QCOMPARE(form_->size(), QSize(2000, 1500));
        // The worker asks for the geometry, too, and gets the window's.
        WindowGeometry fromWorker;
        OnWorker([&] { fromWorker = ui_->CurrentGeometry(); });
        QCOMPARE(QSize(fromWorker.width, fromWorker.height), form_->size());
    }

    void workerCallsRunOnTheUiThreadInOrderAndUiThreadCallsAtOnce()
    {
        QThread* uiThread = QThread::currentThread();
        QThread* ranOn = nullptr;
        OnWorker([&] {
            ui_->ShowStatus("受信中");
            for (int i = 0; i < 200; ++i) {
                ui_->AppendDataLine("N" + std::to_string(i));
            }
            ui_->RunOnUiThread([&] { ranOn = QThread::currentThread(); });
            ui_->SetBusy(true);
        });
        QCOMPARE(form_->StatusText(), QStringLiteral("受信中"));
        QCOMPARE(ranOn, uiThread);
        QStringList expected;
        for (int i = 0; i < 200; ++i) {
            expected << QStringLiteral("N%1").arg(i);
        }
        QCOMPARE(Child<QPlainTextEdit>(*form_, "Memo1")->toPlainText(), expected.join(u'\n'));
        QVERIFY(form_->Busy());

        // Queuing would wait for the very thread that waits.
        ui_->ShowStatus("直接");
        QCOMPARE(form_->StatusText(), QStringLiteral("直接"));
        bool ran = false;
        ui_->RunOnUiThread([&] { ran = true; });
        QVERIFY(ran);
    }

    void messageBoxesCarryTitleIconButtonsAndAnswer()
    {
        ModalScript script;
        QStringList seen;
        script.On<QMessageBox>([&](QMessageBox* box) {
            seen << box->windowTitle() << box->text();
            QCOMPARE(box->icon(), QMessageBox::Question);
            QVERIFY(box->button(QMessageBox::Yes) && box->button(QMessageBox::No));
            box->button(QMessageBox::No)->click();
        });
        MessageAnswer answer = MessageAnswer::Ok;
        OnWorker([&] {
            answer = ui_->ShowMessage(" Maroka ver 0.565", "終了します。\n\nよろしいですか？", MessageIcon::Question,
                                      MessageButtons::YesNo);
        });
        QCOMPARE(answer, MessageAnswer::No);
        QCOMPARE(seen, QStringList({" Maroka ver 0.565", "終了します。\n\nよろしいですか？"}));
        script.Press(QMessageBox::Retry);
        QCOMPARE(ui_->ShowMessage("t", "x", MessageIcon::Error, MessageButtons::RetryCancel), MessageAnswer::Retry);
        // Esc is the safe answer.
        script.On<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(ui_->ShowMessage("t", "x", MessageIcon::Question, MessageButtons::YesNo), MessageAnswer::No);
        script.On<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(ui_->ShowMessage("t", "x", MessageIcon::None, MessageButtons::Ok), MessageAnswer::Ok);
        VERIFY_SCRIPT(script);
    }

    void releasedFrontEndLetsAWaitingWorkerGo()
    {
        // The worker asks while the UI thread is busy elsewhere (as when it
        // joins the worker at exit): release must free it with the safe answer.
        std::atomic<bool> asked{false};
        std::atomic<bool> answered{false};
        MessageAnswer answer = MessageAnswer::Yes;
        std::thread worker([&] {
            asked = true;
            answer = ui_->ShowMessage("t", "x", MessageIcon::Question, MessageButtons::YesNo);
            ui_->ShowStatus("after release");
            answered = true;
        });
        while (!asked) {
            std::this_thread::yield();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const bool answeredBeforeRelease = answered;
        ui_->ReleaseWorkerCalls();
        worker.join(); // without the release this would never return
        // Checked after the join: a failed check must not leave the worker running.
        QVERIFY(!answeredBeforeRelease);
        QCOMPARE(answer, MessageAnswer::No);
        // The queued question is dropped, not shown late.
        QCoreApplication::processEvents();
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(form_->StatusText() != QStringLiteral("after release"));
    }

    void colourSettingsPaintTheDataAreas()
    {
        auto* memo = Child<QPlainTextEdit>(*form_, "Memo1");
        auto* edit = Child<QLineEdit>(*form_, "Edit1");
        const QColor defaultBase = QApplication::palette(memo).color(QPalette::Base);
        OnWorker([&] { ui_->ApplyColours("$0080FFFF", "clNavy"); });
        for (QWidget* widget : std::initializer_list<QWidget*>{memo, Child<QPlainTextEdit>(*form_, "Memo2"), edit}) {
            QCOMPARE(widget->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0x80));
        }
        QCOMPARE(memo->palette().color(QPalette::Text), QColor(0, 0, 0x80));
        QCOMPARE(edit->palette().color(QPalette::Text), QColor(0, 0, 0x80));
        ui_->ApplyColours("no colour", "clWindowText");
        QCOMPARE(memo->palette().color(QPalette::Base), defaultBase);
    }

    void portChoiceAnswersReachTheWorker()
    {
        ui_->SetTitle("Maroka ttyUSB0", " Maroka ver 0.565");
        const std::function<void(TComSelectForm*)> answers[] = {
            // The failed port is not offered; the first other one is preset.
            [this](TComSelectForm* dialog) {
                QCOMPARE(dialog->windowTitle(), QStringLiteral(" 起動ポートの選択Maroka ttyUSB0"));
                QCOMPARE(dialog->pos(), form_->pos() + QPoint(10, 10));
                auto* box = Child<QComboBox>(*dialog, "ComboBox1");
                QCOMPARE(box->currentText(), QStringLiteral("ttyUSB0"));
                QCOMPARE(box->count(), 2);
                QCOMPARE(box->itemText(1), QStringLiteral("ttyACM0"));
                // No close box: the answer is one of the two buttons (or Esc).
                QVERIFY(!(dialog->windowFlags() & Qt::WindowCloseButtonHint));
                box->setCurrentIndex(0);
                QTest::mouseClick(Child<QPushButton>(*dialog, "YesButton"), Qt::LeftButton);
            },
            [](TComSelectForm* dialog) { QTest::mouseClick(Child<QPushButton>(*dialog, "NoButton"), Qt::LeftButton); },
            [](TComSelectForm* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); },
            // A typed name counts; Enter means はい.
            [](TComSelectForm* dialog) {
                auto* box = Child<QComboBox>(*dialog, "ComboBox1");
                QCOMPARE(box->currentText(), QString());
                QTest::keyClicks(box->lineEdit(), "/dev/pts/4");
                QTest::keyClick(box->lineEdit(), Qt::Key_Return);
            },
        };
        const std::vector<std::string> others[] = {{"ttyUSB0", "ttyUSB1", "ttyACM0"}, {"ttyUSB0"}, {"ttyUSB0"}, {}};
        const std::optional<std::string> expected[] = {"ttyUSB1", std::nullopt, std::nullopt, "/dev/pts/4"};
        for (int i = 0; i < 4; ++i) {
            ModalScript script;
            script.On<TComSelectForm>(answers[i]);
            std::optional<std::string> port;
            OnWorker([&] { port = ui_->ChooseOtherPort("ttyS9", others[i]); });
            QCOMPARE(port, expected[i]);
        }
    }

    // The preview switch's way there and back is the editor's test.
    void fileDialogsReturnTheChoice()
    {
        maroka::test::TempDir dir;
        maroka::test::WriteFileBytes(dir / "b.nc", "O2\n");
        maroka::test::WriteFileBytes(dir / "a.nc", "O1\n");
        FileDialogRequest request;
        request.title = " 送信ファイル選択（複数選択可）　 Maroka ver 0.565";
        request.filter = "NC(*.nc)|*.nc";
        request.folder = dir.Path().string();
        request.multiSelect = true;
        request.preview = true;
        ModalScript script;
        script.On<TextFileDialog>([&](TextFileDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString::fromStdString(request.title));
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
            TypeFileNamesAndAccept(dialog, QStringLiteral("\"a.nc\" \"b.nc\""));
        });
        script.On<TextFileDialog>([](TextFileDialog* dialog) { dialog->reject(); });
        std::optional<FileDialogResult> result;
        OnWorker([&] { result = ui_->ChooseOpenFiles(request); });
        QVERIFY(result.has_value());
        QCOMPARE(result->paths.size(), std::size_t{2});
        QVERIFY(!ui_->ChooseSaveFile(request).has_value());
        VERIFY_SCRIPT(script);
    }
};

int RunMainFormTests(int argc, char** argv)
{
    MainFormTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace maroka::gui::test

#include "MainFormTest.moc"
