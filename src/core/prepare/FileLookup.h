#pragma once

// Program names come upper-cased from lists and machines written for a
// file system that ignores case; on Linux a file is opened by its real name.

#include <optional>
#include <string>

namespace maroka::prepare {

// The file (not folder) `path` names: `path` itself when it exists, else
// the entry of its folder whose name equals its name without regard to
// ASCII case (the first in name order when several do). nullopt when none.
std::optional<std::string> ResolveFile(const std::string& path);

// The path up to and including its last "/" (empty when it has none).
std::string FolderOf(const std::string& path);

// The text after the last "/" or "\".
std::string NameOf(const std::string& path);

} // namespace maroka::prepare
