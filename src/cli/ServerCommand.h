#pragma once

// maroka-cli server [--folder DIR] [--show-data]
//   Runs the server mode on the configured port until SIGINT or SIGTERM: the
//   machine calls, saves, lists, deletes and renames files of the search and
//   save folder and sends mails. The signal acts as Reset; the current step
//   ends and the program exits.

#include "cli/CliContext.h"

#include <string>
#include <vector>

namespace maroka::cli {

int RunServerCommand(CliContext& ctx, const std::vector<std::string>& args);

} // namespace maroka::cli
