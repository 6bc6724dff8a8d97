#pragma once

// Reply programs carry names inside round-bracket comments. A name holding
// a bracket would end the comment early and let the rest run as NC blocks,
// a "%" would end the program on many controls, and a control character
// could start a line of its own. Such text is made inert before it goes out.

#include <string>
#include <string_view>

namespace maroka::server {

// True when `text` (CP932) can stand inside a comment as it is.
bool IsInertCommentText(std::string_view text);

// `text` with "(" as "[", ")" as "]", and "%", control characters and a lead
// byte without its trail byte as "_".
// Lead-byte aware: the second byte of a two-byte character is left alone.
std::string InertCommentText(std::string_view text);

} // namespace maroka::server
