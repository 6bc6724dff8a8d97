#pragma once

// Files as the program reads them: whole, as bytes or as lines, and what a
// path names. None of these throws; a path that cannot be looked at names
// nothing.

#include <optional>
#include <string>
#include <vector>

namespace maroka::platform {

// The file's bytes; nullopt when it cannot be opened or read to its end.
std::optional<std::string> ReadFileBytes(const std::string& path);

// The file's lines, split at LF with a CR before it taken off (so CR LF and
// LF files read alike); no empty last line for a final line end.
std::optional<std::vector<std::string>> ReadFileLines(const std::string& path);

// The path names an existing regular file (a folder does not count), or an
// existing folder. An empty path names neither.
bool IsFile(const std::string& path);
bool IsFolder(const std::string& path);

} // namespace maroka::platform
