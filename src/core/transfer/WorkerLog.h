#pragma once

// The port's two logs as a transfer worker writes them. The subject is the
// worker's own (the server loop changes it with every step) and the settings
// are a copy taken when the worker starts, so nothing is shared with the UI
// thread. The communication log can be large and is written behind the
// worker; the error log is small and written at once, so that what the
// server reads back of it is always there.

#include "core/logs/BackgroundLog.h"
#include "core/logs/LogWriter.h"
#include "core/settings/SessionSettings.h"
#include "core/transfer/WorkerEnvironment.h"

#include <string>

namespace maroka::transfer {

class WorkerLog final : public TransferLog {
public:
    WorkerLog(std::string commLogPath, std::string errorLogPath, settings::SessionSettings settings,
              std::string subject = {});

    void SetSubject(std::string subject) { subject_ = std::move(subject); }
    void CommLog(std::string_view message) override;
    void ErrorLog(std::string_view message) override;
    void Flush() override { commLog_.Flush(); }

private:
    logs::LogWriter writer_;
    logs::BackgroundLog commLog_;
    settings::SessionSettings settings_;
    std::string subject_;
};

} // namespace maroka::transfer
