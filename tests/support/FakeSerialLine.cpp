#include "support/FakeSerialLine.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace maroka::test {

void FakeSerialLine::MachineSends(const std::string& bytes)
{
    std::lock_guard lock(mutex_);
    input_ += bytes;
    spoke_ = true;
    changed_.notify_all();
}

serial::IoResult FakeSerialLine::ReadAvailable(char* data, std::size_t size)
{
    std::lock_guard lock(mutex_);
    if (interrupted_)
        return {serial::IoStatus::Interrupted, 0};
    const std::size_t count = std::min(size, input_.size());
    input_.copy(data, count);
    input_.erase(0, count);
    return {serial::IoStatus::Ok, count};
}

serial::IoStatus FakeSerialLine::WaitReadable(int timeoutMs)
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !input_.empty() || interrupted_; });
    return interrupted_ ? serial::IoStatus::Interrupted : serial::IoStatus::Ok;
}

bool FakeSerialLine::ClearErrors(serial::LineErrorState& state)
{
    std::lock_guard lock(mutex_);
    if (failErrorQuery) {
        lastError_ = name_ + ": " + std::string(serial::kDeviceGoneText);
        return false;
    }
    state = {};
    state.inputQueued = input_.size();
    if (checks_++ == errorAtCheckNumber)
        state.errors = errorWordAtCheck;
    return true;
}

serial::IoStatus FakeSerialLine::WaitEvent(std::uint32_t, std::uint32_t& events)
{
    std::unique_lock lock(mutex_);
    waiting_ = true;
    ++waitsStarted_;
    changed_.wait(lock, [this] { return spoke_ || interrupted_; });
    waiting_ = false;
    const bool spoke = std::exchange(spoke_, false);
    events = spoke ? static_cast<std::uint32_t>(serial::kEvRxChar) : 0u;
    return spoke ? serial::IoStatus::Ok : serial::IoStatus::Interrupted;
}

serial::IoResult FakeSerialLine::Write(const char* data, std::size_t size)
{
    std::unique_lock lock(mutex_);
    ++writeCalls_;
    if (blockWrites) {
        changed_.wait(lock, [this] { return interrupted_; });
        return {serial::IoStatus::Interrupted, 0};
    }
    if (interrupted_)
        return {serial::IoStatus::Interrupted, 0};
    if (written_.size() + size > failWriteAfterBytes) {
        const std::size_t room = failWriteAfterBytes > written_.size() ? failWriteAfterBytes - written_.size() : 0;
        written_.append(data, room);
        lastError_ = "device vanished";
        return {serial::IoStatus::Failed, room};
    }
    written_.append(data, size);
    chunkSizes_ += (chunkSizes_.empty() ? "" : ",") + std::to_string(size);
    return {serial::IoStatus::Ok, size};
}

bool FakeSerialLine::TransmitChar(char byte)
{
    std::lock_guard lock(mutex_);
    written_.push_back(byte);
    return true;
}

void FakeSerialLine::Interrupt()
{
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    changed_.notify_all();
}

void FakeSerialLine::ClearInterrupt()
{
    std::lock_guard lock(mutex_);
    interrupted_ = false;
}

} // namespace maroka::test
