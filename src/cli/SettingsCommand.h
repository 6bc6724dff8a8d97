#pragma once

// maroka-cli settings: show and change the settings file.
//
//   settings list             every key=value of the main section as loaded,
//                             then the colours of the port
//   settings get KEY          one value as loaded (the default when missing)
//   settings set KEY VALUE    writes one value
//   settings path             the settings file in use
//
// Keys match without regard to ASCII letter case. Colour keys are the port
// name followed by 窓色 or 文字色 (COM1窓色).

#include "cli/CliContext.h"

#include <string>
#include <vector>

namespace maroka::cli {

// --settings FILE as given; else --ini SUFFIX as the argument "ini" + SUFFIX;
// else the default file of the program. maroka-cli shares its settings file
// with the main program beside it, so a trailing "-cli" of its own name is
// left out of the file name.
std::string ResolveSettingsPath(const CliContext& ctx);

// `args` are the words after "settings".
int RunSettingsCommand(CliContext& ctx, const std::vector<std::string>& args);

} // namespace maroka::cli
