#pragma once

// What every command of maroka-cli gets: its streams (swappable by tests),
// the global options, and whether a person is at the terminal.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace maroka::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct GlobalOptions {
    std::optional<std::string> settingsFile; // --settings FILE
    std::optional<std::string> iniSuffix;    // --ini SUFFIX
    std::optional<std::string> port;         // --port NAME
};

struct CliContext {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    bool interactive = false; // stdin and stderr are terminals
    std::string programPath;  // full path of maroka-cli itself
    GlobalOptions options;
};

} // namespace maroka::cli
