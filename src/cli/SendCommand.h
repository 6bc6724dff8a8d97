#pragma once

// maroka-cli send [--direct] [--show-data] FILE...
//   Sends the files to the machine on the configured port: prepared with the
//   send settings, or with --direct (or "無変換送信" on) exactly as they are.
//   Progress and the end texts go to stderr; exit 0 only when the send ran
//   to its end.

#include "cli/CliContext.h"

#include <string>
#include <vector>

namespace maroka::cli {

int RunSendCommand(CliContext& ctx, const std::vector<std::string>& args);

} // namespace maroka::cli
