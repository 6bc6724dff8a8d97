#include "core/text/PreviewText.h"

#include "core/text/Cp932.h"
#include "core/text/Encoding.h"

namespace maroka::text {

namespace {

// `bytes` without a UTF-8 sequence cut off at its end.
std::string_view WithoutCutUtf8Tail(std::string_view bytes)
{
    const std::size_t from = bytes.size() > 3 ? bytes.size() - 3 : 0;
    for (std::size_t i = bytes.size(); i-- > from;) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if ((byte & 0xC0u) == 0x80u)
            continue; // a continuation byte: look further back for its lead
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return i + length > bytes.size() ? bytes.substr(0, i) : bytes;
    }
    return bytes;
}

} // namespace

std::string PreviewText(std::string_view head, std::size_t maxBytes)
{
    const std::string_view shown = head.substr(0, maxBytes);
    if (head.size() > maxBytes) {
        const std::string_view utf8 = WithoutCutUtf8Tail(shown);
        if (IsValidUtf8(utf8))
            return std::string(utf8);
    } else if (IsValidUtf8(shown)) {
        return std::string(shown);
    }
    return Cp932ToUtf8Lossy(CutAtCharBoundary(head, maxBytes));
}

} // namespace maroka::text
