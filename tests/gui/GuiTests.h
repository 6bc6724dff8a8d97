#pragma once

// Entry points of the front-end test classes, and helpers they share. Every
// helper here is bounded: a failed check ends its test with a message, never
// with a window that nobody answers.

#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <deque>
#include <functional>

namespace maroka::gui {
class MainSession;
}

namespace maroka::gui::test {

int RunMainFormTests(int argc, char** argv);
int RunDialogsTests(int argc, char** argv);
int RunGuiSendTests(int argc, char** argv);
int RunEditorFormTests(int argc, char** argv);
int RunSettingsFormTests(int argc, char** argv);

// The child of `parent` called `name`; a missing one ends the run, naming it.
template <typename T> T* Child(const QObject& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no %s called %s", T::staticMetaObject.className(), name);
    }
    return child;
}

// Types `names` into the file dialog's name box and presses its accept
// button, as a user does; the box may or may not have focus yet. A dialog
// that does not take the names fails the test and is rejected.
void TypeFileNamesAndAccept(QFileDialog* dialog, const QString& names);

// Drags `urls` over `target` at `at` and drops them there, as a file manager
// does; false, with nothing dropped, when the target refuses the drag.
bool DropUrls(QWidget& target, QPoint at, const QList<QUrl>& urls);

// Runs `work` on a plain std::thread, as the transfer worker is, and keeps
// the event loop turning until it is done. The thread is always joined: if
// it is not done within the bound, the test fails and open dialogs are
// rejected until the worker's call returns.
void OnWorker(const std::function<void()>& work, int boundMs = 10000);

// Ends a test that leaves the session busy: presses Reset, answers the boxes
// that a busy window shows and waits, bounded, for the worker to go idle.
void ResetIfBusy(MainSession& main);

// Answers the modal windows a command under test opens, one scripted step
// per window, as a user would: typing a name into a file dialog, pressing a
// message box button. Every wait is bounded. A window that is still open
// five seconds after its step, or one that no step was written for, is
// rejected so the command returns, and the test is failed through
// Problems(). A loaded machine can take seconds to show a file dialog,
// hence a step waits 30 s for its window.
//
// Only the newest script answers; an older one pauses until the newer one
// ends. A script whose Problems() nobody asked for fails the running test
// when it ends, so a forgotten window never passes unnoticed.
class ModalScript {
public:
    explicit ModalScript(int stepTimeoutMs = 30000);
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    // Presses `button` (a QMessageBox::StandardButton) on the next message
    // box; its text goes to Texts().
    ModalScript& Press(int button);
    // Types `names` into the next file dialog and accepts it, after `first`
    // has done what the user does before (a check box, say).
    ModalScript& TypeFileName(const QString& names, std::function<void(QWidget*)> first = {});
    // Any other step, on a window that must be a T.
    template <typename T> ModalScript& On(std::function<void(T*)> act)
    {
        steps_.push_back([this, act](QWidget* window) {
            if (auto* typed = qobject_cast<T*>(window)) {
                act(typed);
            } else {
                problems_ << QStringLiteral("expected a %1, got %2")
                                 .arg(QString::fromLatin1(T::staticMetaObject.className()),
                                      QString::fromLatin1(window->metaObject()->className()));
            }
        });
        return *this;
    }

    // Texts of the message boxes answered so far.
    const QStringList& Texts() const { return texts_; }
    // Empty when every step found its window and every window was answered.
    QStringList Problems();

private:
    void Poll();

    std::deque<std::function<void(QWidget*)>> steps_;
    QPointer<QWidget> answered_;
    int answeredAgeMs_ = 0;
    int waitedMs_ = 0;
    int stepTimeoutMs_;
    bool stepping_ = false;
    QTimer timer_;
    QStringList texts_;
    QStringList problems_;
    ModalScript* previous_ = nullptr;
    bool reported_ = false;
    static ModalScript* active_;
};

#define VERIFY_SCRIPT(script) QVERIFY2((script).Problems().isEmpty(), qPrintable((script).Problems().join("; ")))

} // namespace maroka::gui::test
