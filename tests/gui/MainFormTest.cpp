// The main window on its own: its controls, menus, keys, drops and busy
// state, with a recorder in place of the session.

#include "gui/GuiTests.h"
#include "gui/RecordingCommands.h"
#include "gui/TMainForm.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <memory>

namespace maroka::gui::test {

namespace {

QStringList Texts(const QList<QAction*>& actions)
{
    QStringList texts;
    for (QAction* action : actions) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

const QStringList kButtons{"OpenButton",   "SendButton",  "D_SendButton",  "ReceiveButton", "ResetButton",
                           "ServerButton", "CheckButton", "SettingButton", "SetViewButton", "HelpButton"};

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainForm> form_;
    RecordingCommands commands_;

    template <typename T> T* Find(const char* name)
    {
        auto* child = form_->findChild<T*>(QString::fromLatin1(name));
        if (child == nullptr) {
            qWarning("no %s", name);
        }
        return child;
    }

private slots:
    void init()
    {
        commands_ = RecordingCommands{};
        form_ = std::make_unique<TMainForm>();
        form_->Attach(&commands_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    void cleanup()
    {
        form_->Attach(nullptr);
        form_.reset();
    }

    void buttonsAndMenusReachTheirCommands()
    {
        for (const QString& name : kButtons) {
            QTest::mouseClick(form_->findChild<QToolButton*>(name), Qt::LeftButton);
        }
        QCOMPARE(commands_.calls,
                 QStringList({"ChooseSendFiles", "Send", "DirectSend", "Receive", "Reset", "StartServer", "CheckData",
                              "OpenSettings", "ViewSettingsFile", "ShowHelp"}));

        commands_.calls.clear();
        form_->SetSendDataMenuEnabled(true);
        for (const char* name : {"OpenMenuItem", "EditMenuItem", "SettingsMenuItem", "SendDataEditorItem",
                                 "SendDataViewerItem", "SendDataOtherAppItem", "CommLogMenuItem", "ErrorLogMenuItem",
                                 "HelpTopicsMenuItem", "AboutMenuItem", "PopupCommLogItem", "PopupClearCommLogItem",
                                 "PopupSaveSendFileItem", "PopupClearFilesItem", "PopupErrorLogItem", "PopupDc2Item"}) {
            QAction* action = Find<QAction>(name);
            QVERIFY(action);
            action->trigger();
        }
        QCOMPARE(commands_.calls, QStringList({"ChooseSendFiles", "OpenProgramListEditor", "OpenSettings",
                                               "OpenSendData 0", "OpenSendData 1", "OpenSendData 2", "OpenCommLog",
                                               "OpenErrorLog", "ShowHelp", "ShowAbout", "OpenCommLog", "ClearCommLog",
                                               "SaveSendFile", "ClearFiles", "OpenErrorLog", "SendDc2"}));
    }

    void sendDataMenuFollowsTheSelection()
    {
        auto* sendData = Find<QMenu>("SendDataMenu");
        QVERIFY(sendData);
        // Nothing is selected or received yet.
        QVERIFY(!sendData->menuAction()->isEnabled());
        QVERIFY(!Find<QMenu>("ReceivedDataMenu")->menuAction()->isEnabled());
        form_->SetSendDataMenuEnabled(true);
        QVERIFY(sendData->menuAction()->isEnabled());
    }

    void receivedFilesBecomeMenuItems()
    {
        auto* received = Find<QMenu>("ReceivedDataMenu");
        form_->SetReceivedFiles({"/data/O0001.nc", "/data/R&D.nc"});
        QVERIFY(received->menuAction()->isEnabled());
        QCOMPARE(Texts(received->actions()), QStringList({"&1 /data/O0001.nc", "&2 /data/R&&D.nc"}));
        received->actions().at(1)->trigger();
        QCOMPARE(commands_.calls, QStringList({"OpenReceivedFile 1"}));

        form_->SetReceivedFiles({});
        QVERIFY(received->actions().isEmpty());
        QVERIFY(!received->menuAction()->isEnabled());
    }

    void functionKeysWinOverTheFocusedBox()
    {
        auto* baud = Find<QComboBox>("ComboBox3");
        baud->lineEdit()->setFocus();
        baud->setEditText("9600");
        commands_.calls.clear();
        const Qt::Key keys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5,
                                Qt::Key_F6, Qt::Key_F7, Qt::Key_F8, Qt::Key_F9, Qt::Key_F10};
        for (Qt::Key key : keys) {
            QTest::keyClick(baud->lineEdit(), key);
        }
        const QStringList expected{"ChooseSendFiles", "Send",      "DirectSend",   "Receive",          "Reset",
                                   "StartServer",     "CheckData", "OpenSettings", "ViewSettingsFile", "ShowHelp"};
        QCOMPARE(commands_.calls, expected);
        // F4 would otherwise have opened the box's list.
        QVERIFY(!baud->view()->isVisible());
        QCOMPARE(baud->currentText(), QStringLiteral("9600"));

        // While a transfer runs the buttons are off, but the keys still reach
        // the session, which decides.
        form_->SetBusy(true);
        commands_.calls.clear();
        for (Qt::Key key : keys) {
            QTest::keyClick(Find<QPlainTextEdit>("Memo1"), key);
        }
        QCOMPARE(commands_.calls, expected);

        // Held keys repeat nothing.
        commands_.calls.clear();
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(Find<QPlainTextEdit>("Memo1"), &repeat);
        QVERIFY(commands_.calls.isEmpty());
    }

    void escapeAsksBeforeClosing()
    {
        auto* baud = Find<QComboBox>("ComboBox3");
        baud->lineEdit()->setFocus();
        commands_.exitAnswer = false;
        QTest::keyClick(baud->lineEdit(), Qt::Key_Escape);
        QCOMPARE(commands_.calls, QStringList({"ConfirmExit"}));
        QVERIFY(form_->isVisible());
        QVERIFY(!form_->Closed());

        commands_.exitAnswer = true;
        QTest::keyClick(baud->lineEdit(), Qt::Key_Escape);
        QCOMPARE(commands_.calls, QStringList({"ConfirmExit", "ConfirmExit", "Close"}));
        QVERIFY(!form_->isVisible());
        QVERIFY(form_->Closed());
    }

    void keysOfOtherWindowsAreLeftAlone()
    {
        QLineEdit other;
        other.show();
        QTest::keyClick(&other, Qt::Key_F2);
        QTest::keyClick(&other, Qt::Key_Escape);
        QVERIFY(commands_.calls.isEmpty());
    }

    void closingClosesTheSessionOnce()
    {
        form_->close();
        form_->close();
        QCOMPARE(commands_.calls, QStringList({"Close"}));
        QVERIFY(form_->Closed());
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
            auto* action = form_->findChild<QAction*>(name);
            if (action == nullptr) {
                qWarning() << "missing" << name;
                return false;
            }
            return action->isEnabled();
        };
        form_->SetBusy(true);
        QVERIFY(form_->Busy());
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

    void boxEditsReachTheSessionButItsOwnTextsDoNotEchoBack()
    {
        auto* baud = Find<QComboBox>("ComboBox3");
        baud->lineEdit()->clear();
        commands_.calls.clear();
        QTest::keyClicks(baud->lineEdit(), "48");
        QCOMPARE(commands_.calls, QStringList({"SetLineBox 2 4", "SetLineBox 2 48"}));

        commands_.calls.clear();
        LineBoxTexts texts{"ttyUSB0", "1", "19200", "20", "ASC", "93H", "DNC"};
        form_->ShowLineBoxes(texts);
        QVERIFY(commands_.calls.isEmpty());
        QStringList shown;
        for (const char* name :
             {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4", "ComboBox5", "ComboBox6", "ComboBox7"}) {
            shown << Find<QComboBox>(name)->currentText();
        }
        QCOMPARE(shown, QStringList({"ttyUSB0", "1", "19200", "20", "ASC", "93H", "DNC"}));
    }

    void portListIsRefilledBeforeItOpens()
    {
        auto* port = Find<QComboBox>("ComboBox1");
        form_->ShowLineBoxes({"ttyS0", "2", "9600", "1", "ISO", "13H", "MEM"});
        commands_.onPortDropDown = [this] { form_->SetPortItems({"ttyS0", "ttyUSB0", "/dev/pts/3"}); };
        port->showPopup();
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
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile("/tmp/b.nc"), QUrl("https://example.com/x.nc"),
                       QUrl::fromLocalFile("/tmp/プログラム a.nc")});
        const QPoint at = form_->centralWidget()->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &drop);
        QCOMPARE(commands_.calls, QStringList({"FilesDropped /tmp/b.nc|/tmp/プログラム a.nc"}));

        auto* web = new QMimeData;
        web->setUrls({QUrl("https://example.com/x.nc")});
        QDragEnterEvent refused(at, Qt::CopyAction, web, Qt::LeftButton, Qt::NoModifier);
        refused.ignore();
        QApplication::sendEvent(form_.get(), &refused);
        QVERIFY(!refused.isAccepted());
        delete mime;
        delete web;
    }

    void progressIsScaledToPercent()
    {
        auto* progress = Find<QProgressBar>("ProgressBar1");
        form_->SetProgress(50, 200);
        QCOMPARE(progress->value(), 25);
        form_->SetProgress(3'000'000'000LL, 4'000'000'000LL);
        QCOMPARE(progress->value(), 75);
        form_->SetProgress(5, 0);
        QCOMPARE(progress->value(), 0);
        form_->SetProgress(300, 200);
        QCOMPARE(progress->value(), 100);
    }

    void remainingTimePanelShowsAndHides()
    {
        form_->ShowRemainingTime(true, "1 時間 5 分", "計算できません");
        QVERIFY(Find<QWidget>("Panel3")->isVisible());
        QCOMPARE(Find<QLabel>("Label13")->text(), QStringLiteral("1 時間 5 分"));
        QCOMPARE(Find<QLabel>("Label15")->text(), QStringLiteral("計算できません"));
        form_->ShowRemainingTime(false, "", "");
        QVERIFY(!Find<QWidget>("Panel3")->isVisible());
    }

    void geometryNeverShrinksBelowTheLayout()
    {
        form_->ApplyGeometry({40, 30, 377, 300}, false);
        const QSize hint = form_->sizeHint();
        QCOMPARE(form_->size(), QSize(std::max(377, hint.width()), std::max(300, hint.height())));
        const WindowGeometry current = form_->CurrentGeometry();
        QCOMPARE(current.width, form_->width());
        QCOMPARE(current.height, form_->height());

        form_->ApplyGeometry({10, 20, 2000, 1500}, false);
        QCOMPARE(form_->size(), QSize(2000, 1500));
    }
};

int RunMainFormTests(int argc, char** argv)
{
    MainFormTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace maroka::gui::test

#include "MainFormTest.moc"
