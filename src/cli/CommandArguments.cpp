#include "cli/CommandArguments.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

namespace maroka::cli {

CommandArguments ParseCommandArguments(CliContext& ctx, const std::vector<std::string>& args, std::string_view command,
                                       std::initializer_list<std::string_view> knownOptions, const char* usage)
{
    CommandArguments parsed;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            ctx.out << usage;
            parsed.exitCode = kExitOk;
            return parsed;
        }
        if (!arg.starts_with("--")) {
            parsed.files.push_back(std::filesystem::absolute(arg).string());
            continue;
        }
        if (std::find(knownOptions.begin(), knownOptions.end(), arg) == knownOptions.end()) {
            ctx.err << command << ": unknown option " << arg << "\n" << usage;
            parsed.exitCode = kExitUsage;
            return parsed;
        }
        parsed.options.insert(arg);
    }
    return parsed;
}

} // namespace maroka::cli
