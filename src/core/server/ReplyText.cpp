#include "core/server/ReplyText.h"

#include "core/text/Cp932.h"

namespace maroka::server {

namespace {

// The replacement of a single-byte character, or 0 when it may stay. A
// lead byte without its trail byte would swallow the byte after it (the
// comment's closing bracket) on the control.
char Replacement(unsigned char byte)
{
    switch (byte) {
    case '(':
        return '[';
    case ')':
        return ']';
    case '%':
        return '_';
    default:
        return byte < 0x20 || byte == 0x7F || text::IsLeadByte(byte) ? '_' : 0;
    }
}

bool IsTrailByte(unsigned char byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// Calls onByte(i) for every byte that is not part of a whole two-byte
// character.
template <typename OnByte> void ForEachSingleByte(std::string_view text, OnByte onByte)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
            IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
            ++i;
            continue;
        }
        onByte(i);
    }
}

} // namespace

bool IsInertCommentText(std::string_view text)
{
    bool inert = true;
    ForEachSingleByte(text,
                      [&](std::size_t i) { inert = inert && Replacement(static_cast<unsigned char>(text[i])) == 0; });
    return inert;
}

std::string InertCommentText(std::string_view text)
{
    std::string out(text);
    ForEachSingleByte(text, [&](std::size_t i) {
        if (const char r = Replacement(static_cast<unsigned char>(text[i])))
            out[i] = r;
    });
    return out;
}

} // namespace maroka::server
