// The main window on its own: its controls, menus, keys, drops and busy
// state, with a recorder in place of the session.

#include "gui/GuiTests.h"
#include "gui/PortComboBox.h"
#include "gui/RecordingCommands.h"
#include "gui/TMainForm.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
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

    void toolButtonsStandInOrderWithTheirHints()
    {
        const QStringList hints{
            "送信ファイル選択(F1)",   "送信(F2)",         "無変換（ダイレクト）送信(F3)", "受信(F4)",
            "ストップ・リセット(F5)", "サーバー起動(F6)", "データをエディタで開く(F7)",   "設定(F8)",
            "設定ファイル確認(F9)",   "ヘルプ(F10)"};
        auto* toolBar = Find<QToolBar>("ToolBar1");
        QVERIFY(toolBar);
        QStringList order;
        for (QAction* action : toolBar->actions()) {
            if (auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(action))) {
                order << button->objectName();
            }
        }
        QCOMPARE(order, kButtons);
        for (int i = 0; i < kButtons.size(); ++i) {
            auto* button = form_->findChild<QToolButton*>(kButtons[i]);
            QVERIFY(button);
            QCOMPARE(button->toolTip(), hints[i]);
            QVERIFY(!button->icon().isNull());
            QVERIFY(!button->text().isEmpty());
        }
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

    void menusCarryTheirTexts()
    {
        QMenuBar* bar = form_->menuBar();
        QCOMPARE(Texts(bar->actions()), QStringList({"開く(&O)", "編集(&E)", "設定(&T)", "確認(&A)", "ヘルプ(&H)"}));
        auto* check = Find<QMenu>("CheckMenu");
        QVERIFY(check);
        QCOMPARE(Texts(check->actions()), QStringList({"送信データ(&S)", "受信データ(&R)", "通信ログを開く(&L)",
                                                       "サーバーエラーログを開く(&E)"}));
        auto* sendData = Find<QMenu>("SendDataMenu");
        QCOMPARE(Texts(sendData->actions()),
                 QStringList({"エディタで開く(&E)", "VIEWERで開く(&V)", "他のアプリで開く(&A)"}));
        auto* help = Find<QMenu>("HelpMenu");
        QCOMPARE(Texts(help->actions()), QStringList({"トピックの検索(&H)", "バージョン情報(&V)"}));
        auto* popup = Find<QMenu>("PopupMenu1");
        QCOMPARE(Texts(popup->actions()),
                 QStringList({"通信ログを開く(&L)", "通信ログをクリアする(&C)", "送信ファイル保存(&A)",
                              "送受信ファイルクリア(&X)", "-", "サーバーエラーログを開く(&E)", "DC2出力(&D)"}));

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

    void displayControlsAreThere()
    {
        QVERIFY(Find<QLabel>("StatusText")->indent() > 0); // text clear of the frame
        QVERIFY(Find<QLabel>("Label9"));
        auto* edit = Find<QLineEdit>("Edit1");
        QVERIFY(edit && edit->isReadOnly());
        QCOMPARE(edit->toolTip(), QStringLiteral("ファイル名表示(show file name)"));
        auto* memo = Find<QPlainTextEdit>("Memo1");
        QVERIFY(memo && memo->isReadOnly());
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
        const QFontMetrics metrics(memo->font());
        QCOMPARE(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'M'));
        QVERIFY(metrics.inFont(QChar(u'加')));
        auto* strip = Find<QPlainTextEdit>("Memo2");
        QVERIFY(strip);
        QVERIFY(strip->mapTo(form_.get(), QPoint()).x() < memo->mapTo(form_.get(), QPoint()).x());
        QVERIFY(strip->width() < memo->width() / 10);
        auto* progress = Find<QProgressBar>("ProgressBar1");
        QVERIFY(progress);
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 100);
        auto* panel = Find<QWidget>("Panel3");
        QVERIFY(panel && !panel->isVisible());
        QVERIFY(panel->findChild<QLabel*>("Label13"));
        QVERIFY(panel->findChild<QLabel*>("Label15"));
        auto* status = Find<QStatusBar>("StatusBar1");
        QVERIFY(status);
        QCOMPARE(status->toolTip(), QStringLiteral("状態・メッセージ表示(show comment)"));
    }

    void lineBoxesOfferTheirLists()
    {
        auto items = [this](const char* name) {
            QStringList list;
            auto* box = Find<QComboBox>(name);
            for (int i = 0; box != nullptr && i < box->count(); ++i) {
                list << box->itemText(i);
            }
            return list;
        };
        auto* port = Find<QComboBox>("ComboBox1");
        QVERIFY(qobject_cast<PortComboBox*>(port));
        QCOMPARE(port->toolTip(), QStringLiteral("使用ポート選択"));
        QCOMPARE(port->maxVisibleItems(), 32);
        QCOMPARE(items("ComboBox2"), QStringList({"1", "2"}));
        QCOMPARE(items("ComboBox3"),
                 QStringList({"75", "110", "150", "300", "600", "1200", "1800", "2400", "4800", "7200", "9600", "14400",
                              "19200", "38400", "56000", "115200", "128000"}));
        QCOMPARE(items("ComboBox4"),
                 QStringList({"1",   "2",   "3",   "4",   "5",   "6",   "7",   "8",   "9",   "10",   "15",
                              "20",  "25",  "30",  "40",  "50",  "60",  "70",  "80",  "90",  "100",  "125",
                              "150", "175", "200", "250", "300", "350", "400", "450", "500", "1000", "2000"}));
        QCOMPARE(Find<QComboBox>("ComboBox4")->toolTip(), QStringLiteral("送信時、一度に取り込むバッファのサイズ"));
        QCOMPARE(items("ComboBox5"), QStringList({"ISO", "ASC"}));
        QCOMPARE(items("ComboBox6"), QStringList({"13H", "93H"}));
        QCOMPARE(items("ComboBox7"), QStringList({"MEM", "DNC"}));
        for (const char* name :
             {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4", "ComboBox5", "ComboBox6", "ComboBox7"}) {
            QVERIFY2(Find<QComboBox>(name)->isEditable(), name);
        }
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
