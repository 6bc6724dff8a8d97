#pragma once

// Answers the modal windows a command under test opens, one scripted step
// per window, as a user would: typing a name into a file dialog, pressing a
// message box button. Every wait is bounded. A window that is still open
// after its step, or one that no step was written for, is rejected so the
// command returns, and the test is failed through Problems().

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

class QMessageBox;

namespace maroka::gui::test {

// Only the newest script answers; an older one pauses until the newer one
// ends. A script whose Problems() nobody asked for fails the running test
// when it ends, so a forgotten window never passes unnoticed.
class ModalScript : public QObject {
    Q_OBJECT

public:
    explicit ModalScript(int stepTimeoutMs = 30000);
    ~ModalScript() override;

    // Presses `button` (a QMessageBox::StandardButton) on the next message
    // box; its text goes to Texts().
    ModalScript& Press(int button);
    // Types `names` into the next file dialog's name box and presses Enter,
    // after `first` has done what the user does before (a check box, say).
    ModalScript& TypeFileName(const QString& names, std::function<void(QWidget*)> first = {});
    // Any other step.
    ModalScript& Then(std::function<void(QWidget*)> act);

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
    QTimer timer_;
    QStringList texts_;
    QStringList problems_;
    ModalScript* previous_ = nullptr;
    bool reported_ = false;
    static ModalScript* active_;
};

} // namespace maroka::gui::test
