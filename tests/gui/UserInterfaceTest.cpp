// The Qt front end as the core sees it: calls from the transfer worker are
// carried out on the UI thread in order, questions come back with the user's
// answer, and a released front end never keeps a worker waiting.

#include "gui/GuiTests.h"
#include "gui/QtUserInterface.h"
#include "gui/RecordingCommands.h"
#include "gui/TComSelectForm.h"
#include "gui/TMainForm.h"
#include "gui/TextFileDialog.h"
#include "support/TempDir.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>

namespace maroka::gui::test {

class UserInterfaceTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainForm> form_;
    std::unique_ptr<QtUserInterface> ui_;

private slots:
    void init()
    {
        form_ = std::make_unique<TMainForm>();
        ui_ = std::make_unique<QtUserInterface>(*form_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    void cleanup()
    {
        ui_.reset();
        form_.reset();
    }

    void workerCallsRunOnTheUiThreadInOrder()
    {
        QThread* uiThread = QThread::currentThread();
        QThread* ranOn = nullptr;
        OnWorker([&] {
            ui_->ShowStatus("受信中");
            for (int i = 0; i < 200; ++i) {
                ui_->AppendDataLine("N" + std::to_string(i));
            }
            ui_->RunOnUiThread([&] { ranOn = QThread::currentThread(); });
            ui_->SetProgress(1, 4);
            ui_->SetBusy(true);
        });
        QCOMPARE(form_->StatusText(), QStringLiteral("受信中"));
        QCOMPARE(ranOn, uiThread);
        QStringList expected;
        for (int i = 0; i < 200; ++i) {
            expected << QStringLiteral("N%1").arg(i);
        }
        QCOMPARE(form_->findChild<QPlainTextEdit*>("Memo1")->toPlainText(), expected.join(u'\n'));
        QVERIFY(form_->Busy());

        // The worker also gets answers: the geometry it asks for is the
        // window's.
        WindowGeometry fromWorker;
        OnWorker([&] { fromWorker = ui_->CurrentGeometry(); });
        QCOMPARE(fromWorker.width, form_->width());
        QCOMPARE(fromWorker.height, form_->height());
    }

    void callsOnTheUiThreadRunAtOnce()
    {
        // Queuing would wait for the very thread that waits.
        ui_->ShowStatus("直接");
        QCOMPARE(form_->StatusText(), QStringLiteral("直接"));
        bool ran = false;
        ui_->RunOnUiThread([&] { ran = true; });
        QVERIFY(ran);
    }

    void messageBoxesCarryTitleButtonsAndAnswer()
    {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        WhenModalAppears<QMessageBox>([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            QVERIFY(box->button(QMessageBox::Yes));
            QVERIFY(box->button(QMessageBox::No));
            box->button(QMessageBox::No)->click();
        });
        MessageAnswer answer = MessageAnswer::Ok;
        OnWorker([&] {
            answer = ui_->ShowMessage(" Maroka ver 0.565", "Maroka を終了します。\n\nよろしいですか？",
                                      MessageIcon::Question, MessageButtons::YesNo);
        });
        QCOMPARE(answer, MessageAnswer::No);
        QCOMPARE(title, QStringLiteral(" Maroka ver 0.565"));
        QCOMPARE(text, QStringLiteral("Maroka を終了します。\n\nよろしいですか？"));
        QCOMPARE(icon, QMessageBox::Question);

        WhenModalAppears<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Retry)->click(); });
        QCOMPARE(ui_->ShowMessage("t", "x", MessageIcon::Error, MessageButtons::RetryCancel), MessageAnswer::Retry);

        // Esc is the safe answer.
        WhenModalAppears<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(ui_->ShowMessage("t", "x", MessageIcon::Question, MessageButtons::YesNo), MessageAnswer::No);

        WhenModalAppears<QMessageBox>([&](QMessageBox* box) {
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(ui_->ShowMessage("Maroka ttyS0", "x", MessageIcon::None, MessageButtons::Ok), MessageAnswer::Ok);
        QCOMPARE(icon, QMessageBox::NoIcon);
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
        QVERIFY(!answered);
        ui_->ReleaseWorkerCalls();
        worker.join(); // without the release this would never return
        QCOMPARE(answer, MessageAnswer::No);
        // The queued question is dropped, not shown late.
        QCoreApplication::processEvents();
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(form_->StatusText() != QStringLiteral("after release"));
    }

    void colourSettingsPaintTheDataAreas()
    {
        auto* memo = form_->findChild<QPlainTextEdit*>("Memo1");
        auto* strip = form_->findChild<QPlainTextEdit*>("Memo2");
        auto* edit = form_->findChild<QLineEdit*>("Edit1");
        const QColor defaultBase = QApplication::palette(memo).color(QPalette::Base);
        OnWorker([&] { ui_->ApplyColours("$0080FFFF", "clNavy"); });
        for (QWidget* widget : std::initializer_list<QWidget*>{memo, strip, edit}) {
            QCOMPARE(widget->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0x80));
        }
        QCOMPARE(memo->palette().color(QPalette::Text), QColor(0, 0, 0x80));
        QCOMPARE(edit->palette().color(QPalette::Text), QColor(0, 0, 0x80));

        ui_->ApplyColours("no colour", "clWindowText");
        QCOMPARE(memo->palette().color(QPalette::Base), defaultBase);
    }

    void titlesAndPortChoice()
    {
        ui_->SetTitle("Maroka ttyUSB0", " Maroka ver 0.565");
        QCOMPARE(form_->windowTitle(), QStringLiteral(" Maroka ver 0.565"));
        QString caption;
        QPoint at;
        WhenModalAppears<TComSelectForm>([&](TComSelectForm* dialog) {
            caption = dialog->windowTitle();
            at = dialog->pos();
            dialog->findChild<QPushButton*>("YesButton")->click();
        });
        std::optional<std::string> port;
        OnWorker([&] { port = ui_->ChooseOtherPort("ttyS9", {"ttyUSB0", "ttyUSB1"}); });
        QCOMPARE(port, std::optional<std::string>("ttyUSB0"));
        QCOMPARE(caption, QStringLiteral(" 起動ポートの選択Maroka ttyUSB0"));
        QCOMPARE(at, form_->pos() + QPoint(10, 10));
    }

    void openDialogReturnsTheChoiceAndThePreviewState()
    {
        maroka::test::TempDir dir;
        maroka::test::WriteFileBytes(dir / "b.nc", "O2\n");
        maroka::test::WriteFileBytes(dir / "a.nc", "O1\n");
        const QString folder = QString::fromStdString(dir.Path().string());
        WhenModalAppears<TextFileDialog>([&](TextFileDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral(" 送信ファイル選択（複数選択可）　 Maroka ver 0.565"));
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
            QVERIFY(dialog->PreviewEnabled());
            dialog->SetPreviewEnabled(false);
            TypeFileNamesAndAccept(dialog, QStringLiteral("\"a.nc\" \"b.nc\""));
        });
        FileDialogRequest request;
        request.title = " 送信ファイル選択（複数選択可）　 Maroka ver 0.565";
        request.filter = "NC(*.nc)|*.nc";
        request.folder = folder.toStdString();
        request.multiSelect = true;
        request.preview = true;
        std::optional<FileDialogResult> result;
        OnWorker([&] { result = ui_->ChooseOpenFiles(request); });
        QVERIFY(result.has_value());
        QCOMPARE(result->paths.size(), std::size_t{2});
        QVERIFY(!result->preview);

        WhenModalAppears<TextFileDialog>([](TextFileDialog* dialog) { dialog->reject(); });
        QVERIFY(!ui_->ChooseSaveFile(request).has_value());
    }
};

int RunUserInterfaceTests(int argc, char** argv)
{
    UserInterfaceTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace maroka::gui::test

#include "UserInterfaceTest.moc"
