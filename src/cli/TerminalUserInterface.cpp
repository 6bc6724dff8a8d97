#include "cli/TerminalUserInterface.h"

#include "core/serial/SerialMessages.h"

#include <iostream>

namespace maroka::cli {

TerminalUserInterface::TerminalUserInterface(std::ostream& err, std::istream& in, bool interactive,
                                             TerminalAnswers answers, Clock clock)
    : err_(err), in_(in), interactive_(interactive), answers_(std::move(answers)), clock_(std::move(clock))
{
}

void TerminalUserInterface::EndProgressLine()
{
    if (progressLineOpen_) {
        err_ << '\n';
        progressLineOpen_ = false;
    }
}

void TerminalUserInterface::ShowFileName(const std::string& text)
{
    std::lock_guard lock(mutex_);
    if (text.empty() || text == lastFileName_)
        return;
    lastFileName_ = text;
    EndProgressLine();
    err_ << "[" << text << "]" << std::endl;
}

void TerminalUserInterface::ShowStatus(const std::string& text)
{
    std::lock_guard lock(mutex_);
    if (text.empty() || text == lastStatus_)
        return;
    lastStatus_ = text;
    EndProgressLine();
    err_ << text << std::endl;
}

void TerminalUserInterface::AppendDataLine(const std::string& line)
{
    std::lock_guard lock(mutex_);
    if (!showData_)
        return;
    EndProgressLine();
    err_ << line << '\n';
}

void TerminalUserInterface::SetProgress(long long position, long long maximum)
{
    std::lock_guard lock(mutex_);
    if (maximum <= 0 || position <= 0)
        return;
    // A terminal gets one line that keeps changing; a log file a line for
    // every tenth, so it stays readable.
    const int percent = static_cast<int>(position * 100 / maximum);
    const int step = interactive_ ? percent : percent / 10 * 10;
    if (step == lastPercent_)
        return;
    lastPercent_ = step;
    if (interactive_) {
        err_ << "\r" << percent << "% (" << position << " / " << maximum << " bytes)" << std::flush;
        progressLineOpen_ = true;
    } else {
        err_ << step << "% (" << position << " / " << maximum << " bytes)\n" << std::flush;
    }
}

void TerminalUserInterface::ShowRemainingTime(bool visible, const std::string& remaining, const std::string& corrected)
{
    std::lock_guard lock(mutex_);
    if (!visible)
        return;
    // The panel is refreshed with every line sent; only a change is news,
    // and a log wants no more than one line a second of it.
    std::string text = remaining + "  " + corrected;
    if (text == lastRemaining_)
        return;
    const auto now = clock_();
    if (!interactive_ && !lastRemaining_.empty() && now - lastRemainingAt_ < kLogRemainingTimeEvery)
        return;
    lastRemaining_ = std::move(text);
    lastRemainingAt_ = now;
    EndProgressLine();
    err_ << lastRemaining_ << std::endl;
}

void TerminalUserInterface::CloseMainWindow()
{
    {
        std::lock_guard lock(mutex_);
        closeRequested_ = true;
    }
    tasks_.Notify();
}

bool TerminalUserInterface::CloseRequested() const
{
    std::lock_guard lock(mutex_);
    return closeRequested_;
}

void TerminalUserInterface::RunOnUiThread(const std::function<void()>& task)
{
    tasks_.Run(task);
}

void TerminalUserInterface::ReleaseWorkerCalls()
{
    tasks_.Release();
}

void TerminalUserInterface::RunPendingTasks(int timeoutMs)
{
    tasks_.RunPending(std::chrono::milliseconds(timeoutMs), [this] { return CloseRequested(); });
}

MessageAnswer TerminalUserInterface::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                                 MessageButtons buttons)
{
    std::unique_lock lock(mutex_);
    EndProgressLine();
    const char* kind = icon == MessageIcon::Error ? "error" : icon == MessageIcon::Warning ? "warning" : "maroka";
    err_ << kind << ": " << text << std::endl;
    (void)title;
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    // Cancel of a yes/no/cancel question is answered as no.
    const bool yesNo = buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel;
    if (answers_.assumeYes)
        return yesNo ? MessageAnswer::Yes : MessageAnswer::Retry;
    if (!interactive_)
        return yesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    err_ << (yesNo ? "[y/N] " : "[r]etry/[C]ancel ") << std::flush;
    // The worker may go on showing progress while the operator thinks.
    lock.unlock();
    std::string reply;
    std::getline(in_, reply);
    const char first = reply.empty() ? '\0' : static_cast<char>(reply.front() | 0x20);
    if (yesNo)
        return first == 'y' ? MessageAnswer::Yes : MessageAnswer::No;
    return first == 'r' ? MessageAnswer::Retry : MessageAnswer::Cancel;
}

std::optional<FileDialogResult> TerminalUserInterface::ChooseOpenFiles(const FileDialogRequest& request)
{
    if (answers_.filesToOpen.empty())
        return std::nullopt;
    FileDialogResult result;
    result.paths = answers_.filesToOpen;
    result.preview = request.preview;
    return result;
}

std::optional<FileDialogResult> TerminalUserInterface::ChooseSaveFile(const FileDialogRequest& request)
{
    if (answers_.saveFile.empty())
        return std::nullopt;
    return FileDialogResult{{answers_.saveFile}, request.preview};
}

std::optional<std::string> TerminalUserInterface::ChooseFolder(const std::string&, const std::string&)
{
    return std::nullopt;
}

std::optional<std::string> TerminalUserInterface::ChooseOtherPort(const std::string& failedPort,
                                                                  const std::vector<std::string>& ports)
{
    std::lock_guard lock(mutex_);
    EndProgressLine();
    err_ << "error: " << failedPort << serial::msg::kPortNotOpenedSuffix << std::endl;
    if (!ports.empty()) {
        err_ << "usable ports:";
        for (const std::string& port : ports)
            err_ << ' ' << port;
        err_ << std::endl;
    }
    // Another port is never picked behind the operator's back.
    return std::nullopt;
}

} // namespace maroka::cli
