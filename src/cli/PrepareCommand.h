#pragma once

// maroka-cli prepare [--mem|--dnc] [--output FILE] ENTRY...
//   Builds the send data of the entries (program files or literal lines)
//   with the send settings, into FILE ("-" or none: standard output).
// maroka-cli estimate [--mem|--dnc] ENTRY...
//   The machining-time estimate of the same build; the last line is the
//   total in minutes with six decimals.

#include "cli/CliContext.h"

#include <string>
#include <vector>

namespace maroka::cli {

int RunPrepareCommand(CliContext& ctx, const std::vector<std::string>& args);
int RunEstimateCommand(CliContext& ctx, const std::vector<std::string>& args);

} // namespace maroka::cli
