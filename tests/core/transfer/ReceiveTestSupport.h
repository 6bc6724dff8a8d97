#pragma once

// Pieces the receive tests share: a line that reports a framing error where
// a damaged character passes, as a UART does and a pseudo-terminal cannot,
// and a log and main window that write down what the worker asked for.

#include "core/serial/SerialLine.h"
#include "core/transfer/WorkerEnvironment.h"
#include "support/MemoryLog.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace maroka::transfer::test {

// Passes everything to `inner` and reports kErrFrame once for each of
// `errorPositions` (0-based offsets into the data handed out by
// ReadAvailable) as soon as that byte is queued, before it is read.
class LineErrorInjector final : public serial::SerialLine {
public:
    LineErrorInjector(std::shared_ptr<serial::SerialLine> inner, std::set<std::size_t> errorPositions)
        : inner_(std::move(inner)), pending_(std::move(errorPositions))
    {
    }

    const std::string& Name() const override { return inner_->Name(); }
    bool GetProperties(serial::QueueSizes& sizes) override { return inner_->GetProperties(sizes); }
    bool GetState(serial::LineSettings& settings) override { return inner_->GetState(settings); }
    bool SetState(const serial::LineSettings& settings) override { return inner_->SetState(settings); }
    bool ClearErrors(serial::LineErrorState& state) override
    {
        if (!inner_->ClearErrors(state))
            return false;
        std::lock_guard lock(mutex_);
        const auto first = pending_.lower_bound(handedOut_);
        if (first != pending_.end() && *first < handedOut_ + state.inputQueued) {
            pending_.erase(first);
            state.errors = serial::kErrFrame;
        }
        return true;
    }
    bool ClearBreak() override { return inner_->ClearBreak(); }
    bool Purge(std::uint32_t bits) override { return inner_->Purge(bits); }
    serial::IoStatus WaitEvent(std::uint32_t mask, std::uint32_t& events) override { return inner_->WaitEvent(mask, events); }
    serial::IoResult Write(const char* data, std::size_t size) override { return inner_->Write(data, size); }
    serial::IoResult ReadAvailable(char* data, std::size_t size) override
    {
        const serial::IoResult result = inner_->ReadAvailable(data, size);
        std::lock_guard lock(mutex_);
        handedOut_ += result.count;
        return result;
    }
    serial::IoStatus WaitReadable(int timeoutMs) override { return inner_->WaitReadable(timeoutMs); }
    serial::IoStatus Drain() override { return inner_->Drain(); }
    bool TransmitChar(char byte) override { return inner_->TransmitChar(byte); }
    void Interrupt() override { inner_->Interrupt(); }
    void ClearInterrupt() override { inner_->ClearInterrupt(); }
    bool Close() override { return inner_->Close(); }
    std::string LastError() const override { return inner_->LastError(); }

    // Starts counting afresh, e.g. for the second reception of a repair.
    void ExpectErrorsAt(std::set<std::size_t> positions)
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(positions);
        handedOut_ = 0;
    }

private:
    std::shared_ptr<serial::SerialLine> inner_;
    std::mutex mutex_;
    std::set<std::size_t> pending_;
    std::size_t handedOut_ = 0;
};

using ::maroka::test::MemoryLog;

class RecordingSteps final : public MainWindowSteps {
public:
    void EndTransfer() override { ++endTransfers; }
    void SetIdleControls() override { ++idles; }
    void CloseMainWindow() override { ++closes; }
    void ClearCompletedSend() override {}
    void SetLastCycleTime(const std::string&) override {}
    int endTransfers = 0;
    int idles = 0;
    int closes = 0;
};

} // namespace maroka::transfer::test
