#pragma once

// Entry points of the front-end test classes, and helpers they share. Every
// helper here is bounded: a failed check ends its test with a message, never
// with a window that nobody answers.

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace maroka::gui {
class MainSession;
}

namespace maroka::gui::test {

int RunMainFormTests(int argc, char** argv);
int RunDialogsTests(int argc, char** argv);
int RunUserInterfaceTests(int argc, char** argv);
int RunSessionWindowTests(int argc, char** argv);
int RunGuiSendTests(int argc, char** argv);
int RunEditorFormTests(int argc, char** argv);
int RunSettingsFormTests(int argc, char** argv);

// Fails the running test function with `why`, if one is running.
void FailCurrentTest(const QString& why);

// Closes whatever modal window is open; true when there was one.
bool RejectActiveModal();

// Waits (in the event loop) for the next modal window of type T and hands it
// to `act`, for driving dialogs that a call under test opens and waits for.
// A window still open two seconds after `act`, or one that never appears,
// fails the test and is rejected, so the call under test returns. With
// `required` false, a window that never appears is what the test expects.
// A loaded machine can take seconds to show a file dialog, hence the 30 s.
template <typename T> void WhenModalAppears(std::function<void(T*)> act, int patienceMs = 30000, bool required = true)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto remaining = std::make_shared<int>(patienceMs / 10);
    QObject::connect(timer, &QTimer::timeout, [timer, act, remaining, required] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (modal != nullptr && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            QPointer<T> answered(modal);
            act(modal);
            QTimer::singleShot(2000, [answered] {
                if (answered && answered->isVisible()) {
                    FailCurrentTest(QStringLiteral("%1 is still open after the test answered it; rejecting it")
                                        .arg(QString::fromLatin1(answered->metaObject()->className())));
                    if (auto* dialog = qobject_cast<QDialog*>(answered.data()))
                        dialog->reject();
                    else
                        answered->close();
                }
            });
        } else if (--*remaining <= 0) {
            timer->stop();
            timer->deleteLater();
            if (required) {
                FailCurrentTest(QStringLiteral("gave up waiting for a modal %1").arg(T::staticMetaObject.className()));
                RejectActiveModal();
            }
        }
    });
    timer->start();
}

// Types `names` into the file dialog's name box and presses its accept
// button, as a user does; the box may or may not have focus yet.
void TypeFileNamesAndAccept(QFileDialog* dialog, const QString& names);

// Runs `work` on a plain std::thread, as the transfer worker is, and keeps
// the event loop turning until it is done. The thread is always joined: if
// it is not done within the bound, the test fails and open dialogs are
// rejected until the worker's call returns.
void OnWorker(const std::function<void()>& work, int boundMs = 10000);

// Ends a test that leaves the session busy: presses Reset, answers the boxes
// that a busy window shows and waits, bounded, for the worker to go idle.
void ResetIfBusy(MainSession& main);

} // namespace maroka::gui::test
