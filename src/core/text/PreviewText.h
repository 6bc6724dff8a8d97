#pragma once

// The head of a file as readable text for a preview.

#include <string>
#include <string_view>

namespace maroka::text {

// At most `maxBytes` bytes of `head` (which may hold a few bytes more, to see
// a character across the limit) as UTF-8 text: taken as UTF-8 when those
// bytes are well-formed UTF-8 apart from a character cut at the limit,
// otherwise decoded from CP932. A character cut at the limit is left out.
std::string PreviewText(std::string_view head, std::size_t maxBytes);

} // namespace maroka::text
