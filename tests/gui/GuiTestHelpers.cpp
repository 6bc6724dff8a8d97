#include "gui/GuiTests.h"
#include "gui/MainSession.h"

#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace maroka::gui::test {

void FailCurrentTest(const QString& why)
{
    qWarning("%s", qPrintable(why));
    if (QTest::currentTestFunction() != nullptr)
        QTest::qFail(qPrintable(why), __FILE__, __LINE__);
}

bool RejectActiveModal()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr)
        return false;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        // The safe answer of each box the program shows.
        for (auto button : {QMessageBox::No, QMessageBox::Cancel, QMessageBox::Ok}) {
            if (QAbstractButton* answer = box->button(button)) {
                answer->click();
                return true;
            }
        }
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
    return true;
}

void TypeFileNamesAndAccept(QFileDialog* dialog, const QString& names)
{
    auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    if (nameBox == nullptr || buttons == nullptr) {
        FailCurrentTest(QStringLiteral("the file dialog has no name box or buttons"));
        dialog->reject();
        return;
    }
    // The dialog writes its current selection into the name box whenever
    // the box lacks focus, and its folder is listed in the background: let
    // the listing settle and take focus first, and check what the box holds.
    dialog->activateWindow();
    (void)QTest::qWaitForWindowActive(dialog, 2000);
    if (auto* model = dialog->findChild<QFileSystemModel*>()) {
        const QModelIndex folder = model->index(dialog->directory().absolutePath());
        (void)QTest::qWaitFor([&] { return !model->canFetchMore(folder) && model->rowCount(folder) > 0; }, 5000);
    }
    for (int attempt = 0; attempt < 3 && nameBox->text() != names; ++attempt) {
        nameBox->setFocus();
        nameBox->selectAll();
        QTest::keyClick(nameBox, Qt::Key_Delete);
        QTest::keyClicks(nameBox, names);
        QTest::qWait(20);
    }
    if (nameBox->text() != names) {
        FailCurrentTest(
            QStringLiteral("the file dialog's name box holds \"%1\", not what was typed").arg(nameBox->text()));
        dialog->reject();
        return;
    }
    QPushButton* accept = buttons->button(dialog->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                                          : QDialogButtonBox::Open);
    if (accept == nullptr || !accept->isEnabled()) {
        FailCurrentTest(QStringLiteral("the file dialog does not accept \"%1\"").arg(names));
        dialog->reject();
        return;
    }
    accept->click();
}

void OnWorker(const std::function<void()>& work, int boundMs)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done.load(); }, boundMs)) {
        FailCurrentTest(QStringLiteral("the worker's call did not return within %1 ms").arg(boundMs));
        // Whatever it waits for is a window on the screen or a queued call:
        // answer the one and run the other until the thread can be joined.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done && std::chrono::steady_clock::now() < giveUp) {
            RejectActiveModal();
            QTest::qWait(50);
        }
        if (!done)
            qFatal("the worker's call never returned, even with every window closed");
    }
    worker.join();
}

void ResetIfBusy(MainSession& main)
{
    auto idle = [&] { return main.Core().Idle() && !main.Core().TransferRunning(); };
    if (idle())
        return;
    main.Reset();
    if (!QTest::qWaitFor(
            [&] {
                RejectActiveModal();
                return idle();
            },
            15000))
        qFatal("the session stayed busy after Reset");
}

} // namespace maroka::gui::test
