#include "core/text/TextSearch.h"

#include "core/text/Cp932.h"

namespace maroka::text {

bool AtCharBoundary(std::string_view text, std::size_t pos)
{
    // Bytes outside the lead range always end a character; the lead-range
    // bytes between the last of them and `pos` pair up into characters.
    if (pos >= text.size())
        return true;
    std::size_t run = 0;
    while (run < pos && IsLeadByte(static_cast<unsigned char>(text[pos - 1 - run])))
        ++run;
    return run % 2 == 0;
}

std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from)
{
    if (needle.empty())
        return std::string_view::npos;
    // A needle whose first byte cannot be a trail byte is found at a boundary
    // wherever it is found.
    const bool mayBeTrail = static_cast<unsigned char>(needle[0]) >= 0x40;
    std::size_t pos = text.find(needle, from);
    while (pos != std::string_view::npos && mayBeTrail && !AtCharBoundary(text, pos))
        pos = text.find(needle, pos + 1);
    return pos;
}

bool ReplaceAll(std::string& text, std::string_view find, std::string_view replacement, std::size_t from)
{
    return ReplaceMatches(text, find.size(), replacement, from,
                          [&](std::string_view in, std::size_t at) { return FindText(in, find, at); });
}

} // namespace maroka::text
