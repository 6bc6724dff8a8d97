#pragma once

// maroka-cli receive [--retry|--no-retry] [--show-data] FILE
//   Receives one program from the machine on the configured port into FILE,
//   with the receive settings. Progress and the end texts go to stderr. After
//   a reception that lost characters (with "受信エラー修復" on) the question
//   whether to receive again is answered by --retry / --no-retry, or asked
//   on the terminal. Exit 0 only when the reception ended without error (or
//   was repaired).

#include "cli/CliContext.h"

#include <string>
#include <vector>

namespace maroka::cli {

int RunReceiveCommand(CliContext& ctx, const std::vector<std::string>& args);

} // namespace maroka::cli
