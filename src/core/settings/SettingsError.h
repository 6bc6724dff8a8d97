#pragma once

// What went wrong with the settings file, ready to be shown.

#include <string>

namespace maroka::settings {

enum class SettingsErrorKind {
    Read,  // the file exists but cannot be read
    Write, // the system refused the write
    Value, // a value the file cannot hold; nothing was written
};

struct SettingsError {
    SettingsErrorKind kind = SettingsErrorKind::Write;
    std::string message; // "<path> に書き込めません", or the read failure
    std::string detail;  // the reason: system error text, or the key at fault

    // The message, and the reason on a line of its own.
    std::string Text() const { return detail.empty() ? message : message + "\n" + detail; }
};

} // namespace maroka::settings
