#pragma once

// Whether a program keeps its settings file and work folder beside itself.

#include <string_view>

namespace maroka::platform {

// True for a folder under /usr, /bin or /sbin: the system's own program
// folders, where files belong to packages only.
bool IsSystemProgramFolder(std::string_view folder);

// True when the program's folder may hold its files: the folder is writable
// and searchable (a portable install) and is no system program folder. Root
// may write to /usr/bin, yet a file left there would outlive the package.
bool KeepsFilesBesideProgram(std::string_view folder);

} // namespace maroka::platform
