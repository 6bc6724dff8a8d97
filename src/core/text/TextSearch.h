#pragma once

// Finding and replacing text in CP932 bytes without ever matching in the
// middle of a two-byte character.

#include <cstddef>
#include <string>
#include <string_view>

namespace maroka::text {

// Whether `pos` starts a character (or is the end) of `text`.
bool AtCharBoundary(std::string_view text, std::size_t pos);

// Position of `needle` at a character boundary at or after `from`, or npos.
// An empty needle is never found.
std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from = 0);

// Replaces every occurrence of `find` from `from` on, left to right; the scan
// goes on after each inserted replacement, so a replacement that contains
// its own find text cannot loop. Returns whether anything was replaced.
bool ReplaceAll(std::string& text, std::string_view find, std::string_view replacement, std::size_t from = 0);

// The loop under ReplaceAll, for matches of another kind: `next(text, at)`
// gives the next match at or after `at` (npos when none), each `length`
// bytes long. Builds the result in one pass instead of shifting the rest of
// the text at every match.
template <typename Finder>
bool ReplaceMatches(std::string& text, std::size_t length, std::string_view replacement, std::size_t from, Finder next)
{
    std::size_t pos = next(std::string_view(text), from);
    if (pos == std::string::npos)
        return false;
    std::string out;
    out.reserve(text.size() + replacement.size() * 2);
    std::size_t last = 0;
    while (pos != std::string::npos) {
        out.append(text, last, pos - last);
        out.append(replacement);
        last = pos + length;
        pos = next(std::string_view(text), last);
    }
    out.append(text, last, std::string::npos);
    text.swap(out);
    return true;
}

} // namespace maroka::text
