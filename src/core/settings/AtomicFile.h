#pragma once

// Replacing a file so that a crash or a full disk never leaves half of it.

#include <optional>
#include <string>
#include <string_view>

namespace maroka::settings {

// Writes `bytes` to `path` through a temporary file in the same folder:
// write, fsync, rename, fsync of the folder. A symbolic link is followed, so
// the file it points at is replaced. A file without any write permission is
// refused even where the system would let us replace it (root, or a writable
// folder), as is a path that is not a regular file. The new file keeps the
// old one's permissions and, where allowed, its owner.
// Temporary files of this naming left by a killed save (their process is
// gone) are removed first.
// Returns nullopt on success, else the system's error text; on failure the
// old file is untouched and no temporary file is left behind.
[[nodiscard]] std::optional<std::string> ReplaceFileAtomically(const std::string& path, std::string_view bytes);

// The system's text for an errno value.
std::string SystemErrorText(int errorNumber);

} // namespace maroka::settings
