#pragma once

// Pieces the receive tests share: a line that reports a framing error where
// a damaged character passes, as a UART does and a pseudo-terminal cannot.

#include "core/serial/SerialLine.h"
#include "core/transfer/WorkerEnvironment.h"
#include "support/ForwardingLine.h"
#include "support/MemoryLog.h"
#include "support/RecordingSteps.h"

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
class LineErrorInjector final : public ::maroka::test::ForwardingLine {
public:
    LineErrorInjector(std::shared_ptr<serial::SerialLine> inner, std::set<std::size_t> errorPositions)
        : ForwardingLine(std::move(inner)), pending_(std::move(errorPositions))
    {
    }

    bool ClearErrors(serial::LineErrorState& state) override
    {
        if (!ForwardingLine::ClearErrors(state))
            return false;
        std::lock_guard lock(mutex_);
        const auto first = pending_.lower_bound(handedOut_);
        if (first != pending_.end() && *first < handedOut_ + state.inputQueued) {
            pending_.erase(first);
            state.errors = serial::kErrFrame;
        }
        return true;
    }
    serial::IoResult ReadAvailable(char* data, std::size_t size) override
    {
        const serial::IoResult result = ForwardingLine::ReadAvailable(data, size);
        std::lock_guard lock(mutex_);
        handedOut_ += result.count;
        return result;
    }

    // Starts counting afresh, e.g. for the second reception of a repair.
    void ExpectErrorsAt(std::set<std::size_t> positions)
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(positions);
        handedOut_ = 0;
    }

private:
    std::mutex mutex_;
    std::set<std::size_t> pending_;
    std::size_t handedOut_ = 0;
};

using ::maroka::test::MemoryLog;

using ::maroka::test::RecordingSteps;

} // namespace maroka::transfer::test
