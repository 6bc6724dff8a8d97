#include "gui/QtUserInterface.h"

#include "gui/SettingColour.h"
#include "gui/TComSelectForm.h"
#include "gui/TMainForm.h"
#include "gui/TextFileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <condition_variable>

namespace maroka::gui {

struct QtUserInterface::PendingCall {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
};

namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// A box belongs over the window the user works in, which may be the
// program-list editor rather than the main window; a box parented to a
// window behind it could open out of sight.
QWidget* DialogParent(QWidget& mainWindow)
{
    QWidget* active = QApplication::activeWindow();
    return active != nullptr && (active == &mainWindow || active->parentWidget() == &mainWindow) ? active : &mainWindow;
}

QStringList Q(const std::vector<std::string>& texts)
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(texts.size()));
    for (const std::string& text : texts) {
        list << Q(text);
    }
    return list;
}

std::vector<std::string> Std(const QStringList& texts)
{
    std::vector<std::string> list;
    list.reserve(static_cast<std::size_t>(texts.size()));
    for (const QString& text : texts) {
        list.push_back(text.toStdString());
    }
    return list;
}

} // namespace

namespace {

// About the pace at which a screen is redrawn.
constexpr int kRedrawMs = 30;

} // namespace

QtUserInterface::QtUserInterface(TMainForm& form) : form_(form)
{
    redrawTimer_.setSingleShot(true);
    redrawTimer_.setInterval(kRedrawMs);
    QObject::connect(&redrawTimer_, &QTimer::timeout, [this] { ApplyDisplay(); });
}

void QtUserInterface::Display(const std::function<bool(DisplayBatch&)>& add)
{
    {
        std::lock_guard lock(mutex_);
        if (released_)
            return;
    }
    const bool first = add(display_);
    if (OnUiThread()) {
        ApplyDisplay();
    } else if (first) {
        QMetaObject::invokeMethod(
            &redrawTimer_,
            [this] {
                if (!redrawTimer_.isActive())
                    redrawTimer_.start();
            },
            Qt::QueuedConnection);
    }
}

void QtUserInterface::ApplyDisplay()
{
    using Kind = DisplayUpdate::Kind;
    for (const DisplayUpdate& update : display_.Take()) {
        switch (update.kind) {
        case Kind::FileName:
            form_.ShowFileName(Q(update.text));
            break;
        case Kind::Status:
            form_.ShowStatus(Q(update.text));
            break;
        case Kind::DataLines:
            form_.AppendDataLine(Q(update.lines).join(QLatin1Char('\n')));
            break;
        case Kind::ClearData:
            form_.ClearDataView();
            break;
        case Kind::Progress:
            form_.SetProgress(update.position, update.maximum);
            break;
        case Kind::RemainingTime:
            form_.ShowRemainingTime(update.visible, Q(update.text), Q(update.secondText));
            break;
        }
    }
}

QtUserInterface::~QtUserInterface()
{
    ReleaseWorkerCalls();
}

void QtUserInterface::ReleaseWorkerCalls()
{
    std::lock_guard lock(mutex_);
    released_ = true;
    for (const std::shared_ptr<PendingCall>& call : pending_) {
        {
            std::lock_guard callLock(call->mutex);
            call->abandoned = true;
        }
        call->done.notify_all();
    }
}

bool QtUserInterface::OnUiThread() const
{
    return QThread::currentThread() == form_.thread();
}

bool QtUserInterface::RunQueued(std::function<void()> task)
{
    auto call = std::make_shared<PendingCall>();
    {
        std::lock_guard lock(mutex_);
        if (released_) {
            return false;
        }
        pending_.push_back(call);
    }
    QMetaObject::invokeMethod(
        &form_,
        [this, call, task = std::move(task)] {
            {
                std::lock_guard lock(call->mutex);
                if (call->abandoned) {
                    return;
                }
            }
            ApplyDisplay();
            task();
            {
                std::lock_guard lock(call->mutex);
                call->finished = true;
            }
            call->done.notify_all();
        },
        Qt::QueuedConnection);

    bool finished = false;
    {
        std::unique_lock lock(call->mutex);
        call->done.wait(lock, [&] { return call->finished || call->abandoned; });
        finished = call->finished;
    }
    std::lock_guard lock(mutex_);
    pending_.erase(std::find(pending_.begin(), pending_.end(), call));
    return finished;
}

void QtUserInterface::Post(std::function<void()> task)
{
    if (OnUiThread()) {
        ApplyDisplay();
        task();
    } else {
        RunQueued(std::move(task));
    }
}

template <typename R> R QtUserInterface::Ask(std::function<R()> task, R fallback)
{
    if (OnUiThread()) {
        ApplyDisplay();
        return task();
    }
    // The answer lives beside the task: a released worker stops waiting and
    // leaves, while the task may still be writing it.
    auto answer = std::make_shared<R>(fallback);
    if (!RunQueued([task = std::move(task), answer] { *answer = task(); })) {
        return fallback;
    }
    return *answer;
}

void QtUserInterface::ShowFileName(const std::string& text)
{
    Display([&](DisplayBatch& batch) { return batch.FileName(text); });
}

void QtUserInterface::ShowStatus(const std::string& text)
{
    Display([&](DisplayBatch& batch) { return batch.Status(text); });
}

void QtUserInterface::AppendDataLine(const std::string& line)
{
    Display([&](DisplayBatch& batch) { return batch.DataLine(line); });
}

void QtUserInterface::ClearDataView()
{
    Display([](DisplayBatch& batch) { return batch.ClearData(); });
}

void QtUserInterface::ShowProgressBar(bool visible)
{
    Post([this, visible] { form_.ShowProgressBar(visible); });
}

void QtUserInterface::SetProgress(long long position, long long maximum)
{
    Display([&](DisplayBatch& batch) { return batch.Progress(position, maximum); });
}

void QtUserInterface::ShowRemainingTime(bool visible, const std::string& remaining, const std::string& corrected)
{
    Display([&](DisplayBatch& batch) { return batch.RemainingTime(visible, remaining, corrected); });
}

void QtUserInterface::SetTitle(const std::string& applicationTitle, const std::string& caption)
{
    Post([this, applicationTitle, caption] { form_.SetTitles(Q(applicationTitle), Q(caption)); });
}

void QtUserInterface::ShowSettingsFileName(const std::string& name)
{
    Post([this, name] { form_.ShowSettingsFileName(Q(name)); });
}

void QtUserInterface::ShowLineBoxes(const LineBoxTexts& boxes)
{
    Post([this, boxes] { form_.ShowLineBoxes(boxes); });
}

void QtUserInterface::SetPortItems(const std::vector<std::string>& items)
{
    Post([this, items] { form_.SetPortItems(Q(items)); });
}

void QtUserInterface::SetPortSelectorEnabled(bool enabled)
{
    Post([this, enabled] { form_.SetPortSelectorEnabled(enabled); });
}

void QtUserInterface::SetBusy(bool busy)
{
    Post([this, busy] { form_.SetBusy(busy); });
}

void QtUserInterface::SetSendDataMenuEnabled(bool enabled)
{
    Post([this, enabled] { form_.SetSendDataMenuEnabled(enabled); });
}

void QtUserInterface::SetReceivedFiles(const std::vector<std::string>& paths)
{
    Post([this, paths] { form_.SetReceivedFiles(Q(paths)); });
}

void QtUserInterface::ApplyColours(const std::string& windowColour, const std::string& textColour)
{
    Post([this, windowColour, textColour] {
        const QPalette palette = QApplication::palette();
        form_.ApplyColours(SettingColour(windowColour, palette).value_or(QColor()),
                           SettingColour(textColour, palette).value_or(QColor()));
    });
}

void QtUserInterface::ApplyGeometry(const WindowGeometry& geometry, bool centre)
{
    Post([this, geometry, centre] { form_.ApplyGeometry(geometry, centre); });
}

WindowGeometry QtUserInterface::CurrentGeometry()
{
    return Ask<WindowGeometry>([this] { return form_.CurrentGeometry(); }, WindowGeometry{});
}

void QtUserInterface::CloseMainWindow()
{
    Post([this] { form_.CloseWithoutAsking(); });
}

void QtUserInterface::RunOnUiThread(const std::function<void()>& task)
{
    Post(task);
}

MessageAnswer QtUserInterface::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                           MessageButtons buttons)
{
    MessageAnswer safe = MessageAnswer::Ok;
    if (buttons == MessageButtons::YesNo) {
        safe = MessageAnswer::No;
    } else if (buttons == MessageButtons::YesNoCancel || buttons == MessageButtons::RetryCancel) {
        safe = MessageAnswer::Cancel;
    }
    return Ask<MessageAnswer>(
        [this, title, text, icon, buttons, safe] {
            QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
            switch (icon) {
            case MessageIcon::None:
                break;
            case MessageIcon::Information:
                boxIcon = QMessageBox::Information;
                break;
            case MessageIcon::Warning:
                boxIcon = QMessageBox::Warning;
                break;
            case MessageIcon::Error:
                boxIcon = QMessageBox::Critical;
                break;
            case MessageIcon::Question:
                boxIcon = QMessageBox::Question;
                break;
            }
            QMessageBox box(boxIcon, Q(title), Q(text), QMessageBox::NoButton, DialogParent(form_));
            box.setObjectName(QStringLiteral("MessageBox"));
            box.setTextFormat(Qt::PlainText);
            switch (buttons) {
            case MessageButtons::Ok:
                box.setStandardButtons(QMessageBox::Ok);
                box.setDefaultButton(QMessageBox::Ok);
                break;
            case MessageButtons::YesNo:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
                box.setDefaultButton(QMessageBox::Yes);
                box.setEscapeButton(QMessageBox::No);
                break;
            case MessageButtons::YesNoCancel:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
                box.setDefaultButton(QMessageBox::Yes);
                box.setEscapeButton(QMessageBox::Cancel);
                break;
            case MessageButtons::RetryCancel:
                box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
                box.setDefaultButton(QMessageBox::Retry);
                box.setEscapeButton(QMessageBox::Cancel);
                break;
            }
            switch (box.exec()) {
            case QMessageBox::Ok:
                return MessageAnswer::Ok;
            case QMessageBox::Yes:
                return MessageAnswer::Yes;
            case QMessageBox::No:
                return MessageAnswer::No;
            case QMessageBox::Retry:
                return MessageAnswer::Retry;
            case QMessageBox::Cancel:
                return MessageAnswer::Cancel;
            default:
                return safe;
            }
        },
        safe);
}

std::optional<FileDialogResult> QtUserInterface::ChooseOpenFiles(const FileDialogRequest& request)
{
    return Ask<std::optional<FileDialogResult>>(
        [this, request]() -> std::optional<FileDialogResult> {
            TextFileDialog dialog(DialogParent(form_),
                                  request.multiSelect ? TextFileDialog::Kind::OpenMany : TextFileDialog::Kind::OpenOne,
                                  Q(request.title), request.filter, Q(request.folder));
            dialog.SetPreviewEnabled(request.preview);
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
                return std::nullopt;
            }
            return FileDialogResult{Std(dialog.selectedFiles()), dialog.PreviewEnabled()};
        },
        std::nullopt);
}

std::optional<FileDialogResult> QtUserInterface::ChooseSaveFile(const FileDialogRequest& request)
{
    return Ask<std::optional<FileDialogResult>>(
        [this, request]() -> std::optional<FileDialogResult> {
            TextFileDialog dialog(DialogParent(form_), TextFileDialog::Kind::Save, Q(request.title), request.filter,
                                  Q(request.folder));
            dialog.SetPreviewEnabled(request.preview);
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
                return std::nullopt;
            }
            return FileDialogResult{{dialog.selectedFiles().front().toStdString()}, dialog.PreviewEnabled()};
        },
        std::nullopt);
}

std::optional<std::string> QtUserInterface::ChooseFolder(const std::string& title, const std::string& start)
{
    return Ask<std::optional<std::string>>(
        [this, title, start]() -> std::optional<std::string> {
            const QString folder = QFileDialog::getExistingDirectory(&form_, Q(title), Q(start));
            if (folder.isEmpty()) {
                return std::nullopt;
            }
            return folder.toStdString();
        },
        std::nullopt);
}

std::optional<std::string> QtUserInterface::ChooseOtherPort(const std::string& failedPort,
                                                            const std::vector<std::string>& ports)
{
    return Ask<std::optional<std::string>>(
        [this, failedPort, ports] {
            TComSelectForm dialog(&form_, Q(failedPort), ports, form_.ApplicationTitle());
            return dialog.Ask();
        },
        std::nullopt);
}

} // namespace maroka::gui
