#include "support/RecordingUserInterface.h"

#include <algorithm>

namespace maroka::test {

RecordingUserInterface::RecordingUserInterface() = default;

void RecordingUserInterface::Record(std::string event)
{
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
}

std::vector<std::string> RecordingUserInterface::Events() const
{
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<std::string> RecordingUserInterface::Messages() const
{
    std::lock_guard lock(mutex_);
    return messages_;
}

bool RecordingUserInterface::Saw(const std::string& event) const
{
    std::lock_guard lock(mutex_);
    return std::find(events_.begin(), events_.end(), event) != events_.end();
}

std::string RecordingUserInterface::LastStatus() const
{
    std::lock_guard lock(mutex_);
    return lastStatus_;
}

std::string RecordingUserInterface::LastFileName() const
{
    std::lock_guard lock(mutex_);
    return lastFileName_;
}

int RecordingUserInterface::OpenDialogs() const
{
    std::lock_guard lock(mutex_);
    return openDialogs_;
}

bool RecordingUserInterface::Busy() const
{
    std::lock_guard lock(mutex_);
    return busy_;
}

bool RecordingUserInterface::CloseRequested() const
{
    std::lock_guard lock(mutex_);
    return closeRequested_;
}

bool RecordingUserInterface::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        tasks_.RunPending(std::chrono::milliseconds(0));
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        tasks_.RunPending(std::chrono::milliseconds(5));
    }
}

void RecordingUserInterface::ShowFileName(const std::string& text)
{
    {
        std::lock_guard lock(mutex_);
        lastFileName_ = text;
    }
    Record("file:" + text);
}

void RecordingUserInterface::ShowStatus(const std::string& text)
{
    {
        std::lock_guard lock(mutex_);
        lastStatus_ = text;
    }
    Record("status:" + text);
}

void RecordingUserInterface::AppendDataLine(const std::string& line)
{
    Record("data:" + line);
}

void RecordingUserInterface::ClearDataView()
{
    Record("clear-data");
}

void RecordingUserInterface::ShowProgressBar(bool visible)
{
    Record(visible ? "progress-bar:shown" : "progress-bar:hidden");
}

void RecordingUserInterface::SetProgress(long long position, long long maximum)
{
    Record("progress:" + std::to_string(position) + "/" + std::to_string(maximum));
}

void RecordingUserInterface::ShowRemainingTime(bool visible, const std::string& remaining, const std::string& corrected)
{
    Record(visible ? "remaining:" + remaining + "|" + corrected : "remaining:hidden");
}

void RecordingUserInterface::SetTitle(const std::string& applicationTitle, const std::string& caption)
{
    Record("title:" + applicationTitle + "|" + caption);
}

void RecordingUserInterface::ShowSettingsFileName(const std::string& name)
{
    Record("settings-file:" + name);
}

void RecordingUserInterface::ShowLineBoxes(const LineBoxTexts& boxes)
{
    Record("boxes:" + boxes.port + "," + boxes.stopBits + "," + boxes.baudRate + "," + boxes.bufferSize + "," +
           boxes.code + "," + boxes.dc3 + "," + boxes.sendMode);
}

void RecordingUserInterface::SetPortItems(const std::vector<std::string>& items)
{
    std::string joined;
    for (const std::string& item : items)
        joined += (joined.empty() ? "" : ",") + item;
    Record("ports:" + joined);
}

void RecordingUserInterface::SetPortSelectorEnabled(bool enabled)
{
    Record(enabled ? "port-selector:on" : "port-selector:off");
}

void RecordingUserInterface::SetBusy(bool busy)
{
    {
        std::lock_guard lock(mutex_);
        busy_ = busy;
    }
    Record(busy ? "busy" : "idle");
}

void RecordingUserInterface::SetSendDataMenuEnabled(bool enabled)
{
    Record(enabled ? "send-data-menu:on" : "send-data-menu:off");
}

void RecordingUserInterface::SetReceivedFiles(const std::vector<std::string>& paths)
{
    Record("received-files:" + std::to_string(paths.size()));
}

void RecordingUserInterface::ApplyColours(const std::string& windowColour, const std::string& textColour)
{
    Record("colours:" + windowColour + "," + textColour);
}

void RecordingUserInterface::ApplyGeometry(const WindowGeometry& geometry, bool centre)
{
    {
        std::lock_guard lock(mutex_);
        geometry_ = geometry;
    }
    Record(std::string("geometry:") + (centre ? "centre" : "at"));
}

WindowGeometry RecordingUserInterface::CurrentGeometry()
{
    std::lock_guard lock(mutex_);
    return geometry_;
}

void RecordingUserInterface::CloseMainWindow()
{
    {
        std::lock_guard lock(mutex_);
        closeRequested_ = true;
    }
    Record("close-window");
}

void RecordingUserInterface::RunOnUiThread(const std::function<void()>& task)
{
    tasks_.Run(task);
}

void RecordingUserInterface::ReleaseWorkerCalls()
{
    tasks_.Release();
}

MessageAnswer RecordingUserInterface::ShowMessage(const std::string& title, const std::string& text, MessageIcon,
                                                  MessageButtons buttons)
{
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    events_.push_back("message:" + text);
    (void)title;
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    if (answers.empty())
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<FileDialogResult> RecordingUserInterface::ChooseOpenFiles(const FileDialogRequest& request)
{
    std::lock_guard lock(mutex_);
    ++openDialogs_;
    events_.push_back("open-dialog:" + request.title);
    if (openFiles.empty())
        return std::nullopt;
    FileDialogResult result{openFiles.front(), request.preview};
    openFiles.pop_front();
    return result;
}

std::optional<FileDialogResult> RecordingUserInterface::ChooseSaveFile(const FileDialogRequest& request)
{
    std::lock_guard lock(mutex_);
    events_.push_back("save-dialog:" + request.title);
    if (saveFiles.empty())
        return std::nullopt;
    FileDialogResult result{{saveFiles.front()}, request.preview};
    saveFiles.pop_front();
    return result;
}

std::optional<std::string> RecordingUserInterface::ChooseFolder(const std::string&, const std::string&)
{
    return std::nullopt;
}

std::optional<std::string> RecordingUserInterface::ChooseOtherPort(const std::string& failedPort,
                                                                   const std::vector<std::string>& ports)
{
    std::string joined;
    for (const std::string& port : ports)
        joined += (joined.empty() ? "" : ",") + port;
    std::lock_guard lock(mutex_);
    events_.push_back("choose-port:" + failedPort + ":" + joined);
    if (otherPorts.empty())
        return std::nullopt;
    std::string answer = otherPorts.front();
    otherPorts.pop_front();
    return answer;
}

} // namespace maroka::test
