#pragma once

// A whole file as bytes, as it is on disk.

#include <optional>
#include <string>

namespace maroka::platform {

// The file's bytes; nullopt when it cannot be opened or read to its end.
std::optional<std::string> ReadFileBytes(const std::string& path);

} // namespace maroka::platform
