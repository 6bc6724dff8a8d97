#include "support/RecordingUserInterface.h"

#include <algorithm>

namespace maroka::test {

std::string RecordingUserInterface::Joined(const std::vector<std::string>& items)
{
    std::string joined;
    for (const std::string& item : items)
        joined += (joined.empty() ? "" : ",") + item;
    return joined;
}

bool RecordingUserInterface::Saw(const std::string& event) const
{
    std::lock_guard lock(mutex_);
    return std::find(events_.begin(), events_.end(), event) != events_.end();
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

void RecordingUserInterface::ShowLineBoxes(const LineBoxTexts& boxes)
{
    Record("boxes:" + Joined({boxes.port, boxes.stopBits, boxes.baudRate, boxes.bufferSize, boxes.code, boxes.dc3,
                              boxes.sendMode}));
}

MessageAnswer RecordingUserInterface::ShowMessage(const std::string&, const std::string& text, MessageIcon,
                                                  MessageButtons buttons)
{
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    events_.push_back("message:" + text);
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

std::optional<std::string> RecordingUserInterface::ChooseOtherPort(const std::string& failedPort,
                                                                   const std::vector<std::string>& ports)
{
    std::lock_guard lock(mutex_);
    events_.push_back("choose-port:" + failedPort + ":" + Joined(ports));
    if (otherPorts.empty())
        return std::nullopt;
    std::string answer = otherPorts.front();
    otherPorts.pop_front();
    return answer;
}

} // namespace maroka::test
