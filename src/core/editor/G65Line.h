#pragma once

// The call lines of a G65 main program: "G65[" + path + "](" + variables + ")",
// where the variables are the macro variables the subprogram file uses, so the
// user sees which arguments the call must give.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::editor {

// The macro variables used in `lines`, each once, in order of first use, each
// followed by one blank ("#1 #24 "). A variable is "#" followed by at least
// one more character of "#0123456789"; "#" before anything else is text.
std::string ScanVariables(const std::vector<std::string>& lines);

// "G65[path](variables)", or "G65[path]" when there are none.
std::string G65Line(std::string_view path, std::string_view variables);

// The call line for the program file `path`, or nullopt when it cannot be read.
std::optional<std::string> G65LineForFile(const std::string& path);

} // namespace maroka::editor
