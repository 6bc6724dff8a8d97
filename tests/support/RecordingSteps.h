#pragma once

// Main-window steps that count what the worker asked for.

#include "core/transfer/WorkerEnvironment.h"

#include <string>

namespace maroka::test {

class RecordingSteps final : public transfer::MainWindowSteps {
public:
    void EndTransfer() override { ++endTransfers; }
    void SetIdleControls() override { ++idles; }
    void CloseMainWindow() override {}
    void ClearCompletedSend() override {}
    void SetLastCycleTime(const std::string& text) override { lastCycleTime = text; }
    int endTransfers = 0;
    int idles = 0;
    std::string lastCycleTime;
};

} // namespace maroka::test
