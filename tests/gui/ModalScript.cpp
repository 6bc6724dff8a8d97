#include "gui/ModalScript.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace maroka::gui::test {

namespace {

constexpr int kTickMs = 10;
// How long an answered window may take to go away.
constexpr int kCloseTimeoutMs = 5000;

void Reject(QWidget* window)
{
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->reject();
    } else {
        window->close();
    }
}

} // namespace

ModalScript* ModalScript::active_ = nullptr;

ModalScript::ModalScript(int stepTimeoutMs) : stepTimeoutMs_(stepTimeoutMs)
{
    previous_ = active_;
    if (previous_ != nullptr) {
        previous_->timer_.stop();
    }
    active_ = this;
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &ModalScript::Poll);
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
    return Then([this, button](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box == nullptr) {
            problems_ << QStringLiteral("expected a message box, got %1").arg(window->metaObject()->className());
            return;
        }
        texts_ << box->text();
        QAbstractButton* target = box->button(static_cast<QMessageBox::StandardButton>(button));
        if (target == nullptr) {
            problems_ << QStringLiteral("no such button on \"%1\"").arg(box->text());
            return;
        }
        QTest::mouseClick(target, Qt::LeftButton);
    });
}

ModalScript& ModalScript::TypeFileName(const QString& names, std::function<void(QWidget*)> first)
{
    return Then([this, names, first](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        auto* edit = dialog != nullptr ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (edit == nullptr) {
            problems_ << QStringLiteral("expected a file dialog, got %1").arg(window->metaObject()->className());
            return;
        }
        if (first) {
            first(window);
        }
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, names);
        QTest::keyClick(edit, Qt::Key_Return);
    });
}

ModalScript& ModalScript::Then(std::function<void(QWidget*)> act)
{
    steps_.push_back(std::move(act));
    return *this;
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
    QWidget* modal = QApplication::activeModalWidget();
    if (!answered_.isNull()) {
        // The window just answered must go, or its command never returns.
        if (!answered_->isVisible()) {
            answered_.clear();
        } else if ((answeredAgeMs_ += kTickMs) >= kCloseTimeoutMs) {
            problems_ << QStringLiteral("%1 stayed open after its answer").arg(answered_->windowTitle());
            Reject(answered_);
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
        Reject(modal);
        return;
    }
    const auto step = std::move(steps_.front());
    steps_.pop_front();
    step(modal);
}

} // namespace maroka::gui::test
