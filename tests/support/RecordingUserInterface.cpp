#include "support/RecordingUserInterface.h"

#include <algorithm>
#include <iterator>

namespace maroka::test {

namespace {

// The next scripted answer, or none when the script has run out.
template <typename T> std::optional<T> Next(std::deque<T>& script)
{
    if (script.empty())
        return std::nullopt;
    T answer = std::move(script.front());
    script.pop_front();
    return answer;
}

} // namespace

std::string RecordingUserInterface::Joined(const std::vector<std::string>& items)
{
    std::string joined;
    for (const std::string& item : items)
        joined += (joined.empty() ? "" : ",") + item;
    return joined;
}

std::vector<std::string> RecordingUserInterface::EventsWith(const std::string& part) const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> found;
    std::ranges::copy_if(events_, std::back_inserter(found),
                         [&](const std::string& event) { return event.find(part) != std::string::npos; });
    return found;
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
    return Next(answers).value_or(buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel);
}

std::optional<FileDialogResult> RecordingUserInterface::ChooseOpenFiles(const FileDialogRequest& request)
{
    std::lock_guard lock(mutex_);
    ++openDialogs_;
    events_.push_back("open-dialog:" + request.title);
    if (auto files = Next(openFiles))
        return FileDialogResult{std::move(*files), request.preview};
    return std::nullopt;
}

std::optional<FileDialogResult> RecordingUserInterface::ChooseSaveFile(const FileDialogRequest& request)
{
    std::lock_guard lock(mutex_);
    events_.push_back("save-dialog:" + request.title);
    if (auto file = Next(saveFiles))
        return FileDialogResult{{std::move(*file)}, request.preview};
    return std::nullopt;
}

std::optional<std::string> RecordingUserInterface::ChooseOtherPort(const std::string& failedPort,
                                                                   const std::vector<std::string>& ports)
{
    std::lock_guard lock(mutex_);
    events_.push_back("choose-port:" + failedPort + ":" + Joined(ports));
    return Next(otherPorts);
}

} // namespace maroka::test
