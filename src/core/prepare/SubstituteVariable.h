#pragma once

// The macro-variable substitution of a subprogram call: an argument's text
// in place of its variable.

#include <string>
#include <string_view>

namespace maroka::prepare {

// Replaces `variable` ("#1") by `text` the way an expansion does: the
// variable's number must end there ("#1" is not part of "#11"), occurrences
// inside leading comments stay, and from the end of the last such comment
// every occurrence is replaced.
void SubstituteVariable(std::string& block, std::string_view variable, std::string_view text);

} // namespace maroka::prepare
