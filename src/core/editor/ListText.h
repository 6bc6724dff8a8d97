#pragma once

// The editor's text as files and lines: reading list and program files,
// writing the text back, and what a line of the text names.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::editor {

// The lines of a text file, in UTF-8: the bytes are taken as UTF-8 when they
// are well-formed UTF-8, otherwise as CP932. CR LF, LF and a final line
// without its end are all read; a final line end gives no empty last line.
// nullopt when the file cannot be read.
std::optional<std::vector<std::string>> ReadTextLines(const std::string& path);

// Splits an in-memory text the same way.
std::vector<std::string> SplitLines(std::string_view text);

// Writes `lines`, each followed by CR LF, in CP932 so the send preparation
// and older tools read it; a text with characters that CP932 lacks is
// written in UTF-8 rather than with them lost. False when writing failed.
bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines);

// The file a line of the text names: the text between "G65[" and the next
// "]" when the line starts with "G65[" (up to the end when there is no "]"),
// otherwise the whole line.
std::string LineFile(std::string_view line);

// The status text for the caret on line `index` (0-based) naming `file`:
// " [" + (index + 1) + "] " + the file's name without folder.
std::string CaretStatus(std::size_t index, std::string_view file);

// The extension of `path`'s file name with its dot (".nc"), or empty.
std::string ExtensionOf(std::string_view path);

// Appends "|ユーザー設定(*" + extension + ")|*" + extension to `filter`
// unless the filter already holds the extension with its dot.
void AddUserFilter(std::string& filter, std::string_view path);

} // namespace maroka::editor
