#include "core/transfer/WorkerLog.h"

namespace maroka::transfer {

WorkerLog::WorkerLog(std::string commLogPath, std::string errorLogPath, settings::SessionSettings settings,
                     std::string subject)
    : writer_(std::move(commLogPath), std::move(errorLogPath)), settings_(std::move(settings)),
      subject_(std::move(subject))
{
}

void WorkerLog::CommLog(std::string_view message)
{
    writer_.WriteCommLog(subject_, message, settings_);
}

void WorkerLog::ErrorLog(std::string_view message)
{
    writer_.WriteErrorLog(message);
}

} // namespace maroka::transfer
