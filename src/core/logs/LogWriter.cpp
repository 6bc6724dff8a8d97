#include "core/logs/LogWriter.h"

#include "core/logs/WorkFilePath.h"

#include <charconv>
#include <cstdint>

namespace maroka::logs {

std::optional<long long> ParseLogMaxSizeKb(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    bool plus = false;
    if (!text.empty() && text.front() == '+') {
        plus = true;
        text.remove_prefix(1);
    }
    if (text.empty() || (plus && text.front() == '-'))
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::size_t CommLogLimitBytes(std::string_view logMaxSizeKb)
{
    const long long kb = ParseLogMaxSizeKb(logMaxSizeKb).value_or(kDefaultLogMaxSizeKb);
    return kb <= 0 ? 0 : static_cast<std::size_t>(kb) * 1000;
}

LogWriter::LogWriter(std::string commLogPath, std::string errorLogPath, LogClock clock)
    : commLog_(std::move(commLogPath), clock), errorLog_(std::move(errorLogPath), std::move(clock))
{
}

LogWriter LogWriter::ForPort(std::string_view workFolder, std::string_view port, LogClock clock)
{
    return LogWriter(WorkFilePath(workFolder, kLogFile, port), WorkFilePath(workFolder, kErrLogFile, port),
                     std::move(clock));
}

std::optional<LogEntry> LogWriter::CommLogEntry(std::string_view subject, std::string_view message,
                                                const settings::SessionSettings& settings) const
{
    if (!settings.keepCommLog)
        return std::nullopt;
    return commLog_.MakeEntry(subject, message, CommLogLimitBytes(settings.logMaxSizeKb));
}

LogResult LogWriter::WriteErrorLog(std::string_view message) const
{
    return errorLog_.AddEntry({}, message);
}

} // namespace maroka::logs
