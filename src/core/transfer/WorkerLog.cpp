#include "core/transfer/WorkerLog.h"

namespace maroka::transfer {

WorkerLog::WorkerLog(std::string commLogPath, std::string errorLogPath, settings::SessionSettings settings,
                     std::string subject)
    : writer_(std::move(commLogPath), std::move(errorLogPath)), commLog_(writer_.CommLog()),
      settings_(std::move(settings)), subject_(std::move(subject))
{
}

void WorkerLog::CommLog(std::string_view message)
{
    if (auto entry = writer_.CommLogEntry(subject_, message, settings_))
        commLog_.Add(std::move(*entry));
}

void WorkerLog::ErrorLog(std::string_view message)
{
    writer_.WriteErrorLog(message);
}

} // namespace maroka::transfer
