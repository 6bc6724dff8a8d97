#pragma once

// The words after a command: its on/off options and its files, with --help
// and unknown options handled the same way for every command.

#include "cli/CliContext.h"

#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::cli {

struct CommandArguments {
    std::set<std::string, std::less<>> options; // the options given
    std::vector<std::string> files;             // absolute paths, in the given order
    std::optional<int> exitCode;                // set when the command ends here (help, usage error)

    bool Has(std::string_view option) const { return options.contains(option); }
};

// Unknown options print the usage and give kExitUsage; --help/-h prints it
// and gives kExitOk.
CommandArguments ParseCommandArguments(CliContext& ctx, const std::vector<std::string>& args, std::string_view command,
                                       std::initializer_list<std::string_view> knownOptions, const char* usage);

} // namespace maroka::cli
