#include "core/logs/LogTime.h"

#include <cstdio>

namespace maroka::logs {

std::string FormatLogTime(const std::tm& time)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %d:%02d:%02d", time.tm_year + 1900, time.tm_mon + 1, time.tm_mday,
                  time.tm_hour, time.tm_min, time.tm_sec);
    return text;
}

std::string CurrentLogTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatLogTime(local);
}

} // namespace maroka::logs
