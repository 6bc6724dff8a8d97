#pragma once

// The two logs of a port: the communication log (start and end of every
// transfer, kept across runs) and the server mode's error log.
//
// The writers may be called from the transfer worker. A LogWriter holds only
// the two paths and the clock; everything else comes with each call, so
// entries from a worker and a settings change on the UI thread never share
// state here.

#include "core/logs/LogFile.h"
#include "core/settings/SessionSettings.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace maroka::logs {

inline constexpr long long kDefaultLogMaxSizeKb = 50;

// "ログ最大サイズ" as a whole number of kilobytes (spaces around it are
// allowed); nullopt when it is not one or is outside the 32-bit range.
std::optional<long long> ParseLogMaxSizeKb(std::string_view text);

// The size limit of the communication log in bytes (kilobytes of 1000
// bytes). A text that is not a whole number means the default of 50; zero
// or less keeps nothing.
std::size_t CommLogLimitBytes(std::string_view logMaxSizeKb);

class LogWriter {
public:
    LogWriter(std::string commLogPath, std::string errorLogPath, LogClock clock = CurrentLogTime);

    // LOGFILE.<port> and ERRLOGFILE.<port> in the work folder.
    static LogWriter ForPort(std::string_view workFolder, std::string_view port, LogClock clock = CurrentLogTime);

    // `subject` is the full path of the current file, or msg::kCommandSubject
    // while the server waits for a command. The entry is stamped now and left
    // for the caller to write (through a BackgroundLog of CommLog()); it
    // trims the log to "ログ最大サイズ". nullopt when "通信ログ保存"
    // (keepCommLog) is off.
    std::optional<LogEntry> CommLogEntry(std::string_view subject, std::string_view message,
                                         const settings::SessionSettings& settings) const;

    // Always writes; error-log lines have an empty subject and no size limit.
    LogResult WriteErrorLog(std::string_view message) const;

    const LogFile& CommLog() const { return commLog_; }
    const LogFile& ErrorLog() const { return errorLog_; }

private:
    LogFile commLog_;
    LogFile errorLog_;
};

} // namespace maroka::logs
