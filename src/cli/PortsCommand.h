#pragma once

// maroka-cli ports: the serial ports that can be opened now, one a line.

#include "cli/CliContext.h"

#include <string>
#include <vector>

namespace maroka::cli {

int RunPortsCommand(CliContext& ctx, const std::vector<std::string>& args);

} // namespace maroka::cli
