#pragma once

// The date and time that starts every log line, local time, as
// "2005/04/01 9:05:07": month and day with two digits, the hour without
// padding, minutes and seconds with two digits.

#include <ctime>
#include <functional>
#include <string>

namespace maroka::logs {

// Gives the time text of a new log line; tests put a fixed text in.
using LogClock = std::function<std::string()>;

std::string FormatLogTime(const std::tm& time);

// The current local time, formatted.
std::string CurrentLogTime();

} // namespace maroka::logs
