#include "gui/GuiTests.h"
#include "gui/MainSession.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>

#include <atomic>
#include <chrono>
#include <thread>

namespace maroka::gui::test {

namespace {

constexpr int kTickMs = 10;
// How long an answered window may take to go away.
constexpr int kCloseTimeoutMs = 5000;

// Closes `window` with the safe answer of each box the program shows.
void Dismiss(QWidget* window)
{
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
        for (auto button : {QMessageBox::No, QMessageBox::Cancel, QMessageBox::Ok}) {
            if (QAbstractButton* answer = box->button(button)) {
                answer->click();
                return;
            }
        }
    }
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->reject();
    } else {
        window->close();
    }
}

// Fails the running test function with `why`, if one is running.
void FailCurrentTest(const QString& why)
{
    qWarning("%s", qPrintable(why));
    if (QTest::currentTestFunction() != nullptr) {
        QTest::qFail(qPrintable(why), __FILE__, __LINE__);
    }
}

// Closes whatever modal window is open with its safe answer; true when
// there was one.
bool RejectActiveModal()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        return false;
    }
    Dismiss(modal);
    return true;
}

} // namespace

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

bool DropUrls(QWidget& target, QPoint at, const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // Only the target may accept the drag: start from a refusal.
    enter.ignore();
    QApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    return true;
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
        if (!done) {
            qFatal("the worker's call never returned, even with every window closed");
        }
    }
    worker.join();
}

void ResetIfBusy(MainSession& main)
{
    auto idle = [&] { return main.Core().Idle() && !main.Core().TransferRunning(); };
    if (idle()) {
        return;
    }
    main.Reset();
    if (!QTest::qWaitFor(
            [&] {
                RejectActiveModal();
                return idle();
            },
            15000)) {
        qFatal("the session stayed busy after Reset");
    }
}

ModalScript* ModalScript::active_ = nullptr;

ModalScript::ModalScript(int stepTimeoutMs) : stepTimeoutMs_(stepTimeoutMs)
{
    previous_ = active_;
    if (previous_ != nullptr) {
        previous_->timer_.stop();
    }
    active_ = this;
    timer_.setInterval(kTickMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
}

ModalScript::~ModalScript()
{
    if (active_ == this) {
        active_ = previous_;
        if (previous_ != nullptr) {
            previous_->timer_.start();
        }
    }
    if (!reported_) {
        const QStringList problems = Problems();
        if (!problems.isEmpty()) {
            QTest::qFail(qPrintable(problems.join(QStringLiteral("; "))), __FILE__, __LINE__);
        }
    }
}

ModalScript& ModalScript::Press(int button)
{
    return On<QMessageBox>([this, button](QMessageBox* box) {
        texts_ << box->text();
        if (QAbstractButton* target = box->button(static_cast<QMessageBox::StandardButton>(button))) {
            QTest::mouseClick(target, Qt::LeftButton);
        } else {
            problems_ << QStringLiteral("no such button on \"%1\"").arg(box->text());
        }
    });
}

ModalScript& ModalScript::TypeFileName(const QString& names, std::function<void(QWidget*)> first)
{
    return On<QFileDialog>([names, first](QFileDialog* dialog) {
        if (first) {
            first(dialog);
        }
        TypeFileNamesAndAccept(dialog, names);
    });
}

QStringList ModalScript::Problems()
{
    reported_ = true;
    QStringList all = problems_;
    if (!steps_.empty()) {
        all << QStringLiteral("%1 scripted window(s) never appeared").arg(steps_.size());
    }
    return all;
}

void ModalScript::Poll()
{
    // A step may wait in the event loop (a file dialog lists its folder).
    if (stepping_) {
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!answered_.isNull()) {
        // The window just answered must go, or its command never returns.
        if (!answered_->isVisible()) {
            answered_.clear();
        } else if ((answeredAgeMs_ += kTickMs) >= kCloseTimeoutMs) {
            problems_ << QStringLiteral("%1 stayed open after its answer").arg(answered_->windowTitle());
            Dismiss(answered_);
            answered_.clear();
        }
        return;
    }
    if (modal == nullptr || !modal->isVisible()) {
        if (!steps_.empty() && (waitedMs_ += kTickMs) >= stepTimeoutMs_) {
            problems_ << QStringLiteral("a scripted window did not appear in time");
            steps_.clear();
        }
        return;
    }
    waitedMs_ = 0;
    answeredAgeMs_ = 0;
    answered_ = modal;
    if (steps_.empty()) {
        problems_ << QStringLiteral("unexpected window: %1").arg(modal->windowTitle());
        Dismiss(modal);
        return;
    }
    const auto step = std::move(steps_.front());
    steps_.pop_front();
    stepping_ = true;
    step(modal);
    stepping_ = false;
}

} // namespace maroka::gui::test
