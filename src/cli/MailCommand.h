#pragma once

// maroka-cli mail [--text TEXT]
//   Sends one notification mail with the mail settings, as the test button
//   of the settings dialog does: the body is TEXT, else the mail text file of
//   the port, else the fixed line. Exit 0 when the server took the mail.

#include "cli/CliContext.h"

#include <string>
#include <vector>

namespace maroka::cli {

int RunMailCommand(CliContext& ctx, const std::vector<std::string>& args);

} // namespace maroka::cli
