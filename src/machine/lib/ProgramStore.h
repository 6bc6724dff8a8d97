#pragma once

// Stores received programs in a folder, as a control keeps them by number.

#include "machine/lib/ReceivedProgram.h"

#include <filesystem>
#include <string>

namespace maroka::machine {

// Writes `program.text` to `folder`/O1234.NC (replacing an older program of
// the same number, as the control's memory does) or, without a number, to
// received.nc, received-2.nc, ... Returns the path, or an empty path with
// `error` set.
std::filesystem::path SaveProgram(const std::filesystem::path& folder, const ReceivedProgram& program,
                                  std::string& error);

} // namespace maroka::machine
