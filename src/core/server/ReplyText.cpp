#include "core/server/ReplyText.h"

#include "core/text/Cp932.h"

namespace maroka::server {

namespace {

// The replacement of a single-byte character, or 0 when it may stay.
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
        return byte < 0x20 || byte == 0x7F ? '_' : 0;
    }
}

template <typename OnByte>
void ForEachSingleByte(std::string_view text, OnByte onByte)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
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
    ForEachSingleByte(text, [&](std::size_t i) { inert = inert && Replacement(static_cast<unsigned char>(text[i])) == 0; });
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
