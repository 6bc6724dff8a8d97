#include "core/text/Cp932.h"

#include <cstdint>

namespace maroka::text {

namespace {

// Walks the bytes of a CP932 text, telling the visitor whether each one
// belongs to a two-byte character (and so must not be taken for a letter);
// stops early when the visitor returns false.
template <typename Visit> bool ForEachByte(std::string_view text, Visit visit)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            if (!visit(i, true) || !visit(i + 1, true))
                return false;
            ++i;
        } else if (!visit(i, false)) {
            return false;
        }
    }
    return true;
}

unsigned char AsciiUpper(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

unsigned char AsciiLower(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

template <typename Map> void MapAsciiLetters(std::string& text, Map map)
{
    ForEachByte(text, [&](std::size_t i, bool inTwoByteChar) {
        if (!inTwoByteChar)
            text[i] = static_cast<char>(map(static_cast<unsigned char>(text[i])));
        return true;
    });
}

} // namespace

std::size_t CharLength(std::string_view text, std::size_t pos)
{
    if (pos + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[pos])))
        return 2;
    return 1;
}

void ToUpperInPlace(std::string& text)
{
    MapAsciiLetters(text, AsciiUpper);
}

void ToLowerInPlace(std::string& text)
{
    MapAsciiLetters(text, AsciiLower);
}

std::string ToUpper(std::string_view text)
{
    std::string result(text);
    ToUpperInPlace(result);
    return result;
}

std::string ToLower(std::string_view text)
{
    std::string result(text);
    ToLowerInPlace(result);
    return result;
}

// A lead byte is never a letter, so where one text has a two-byte
// character the other matches only with the same character.
bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    return ForEachByte(a, [&](std::size_t i, bool inTwoByteChar) {
        if (inTwoByteChar)
            return a[i] == b[i];
        return AsciiUpper(static_cast<unsigned char>(a[i])) == AsciiUpper(static_cast<unsigned char>(b[i]));
    });
}

std::size_t HashIgnoreCase(std::string_view text)
{
    // FNV-1a over the upper-cased bytes.
    std::uint64_t hash = 14695981039346656037u;
    ForEachByte(text, [&](std::size_t i, bool inTwoByteChar) {
        const auto byte = static_cast<unsigned char>(text[i]);
        hash = (hash ^ (inTwoByteChar ? byte : AsciiUpper(byte))) * 1099511628211u;
        return true;
    });
    return static_cast<std::size_t>(hash);
}

std::size_t FindAtCharBoundary(std::string_view haystack, std::string_view needle, std::size_t from)
{
    if (needle.empty())
        return from <= haystack.size() ? from : std::string_view::npos;
    for (std::size_t i = 0; i + needle.size() <= haystack.size(); i += CharLength(haystack, i)) {
        if (i >= from && haystack.compare(i, needle.size(), needle) == 0)
            return i;
    }
    return std::string_view::npos;
}

std::string_view CutAtCharBoundary(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + CharLength(text, end);
        if (next > maxBytes)
            break;
        end = next;
    }
    return text.substr(0, end);
}

std::string FormatThousands(std::string_view text)
{
    std::string result(text);
    const std::size_t dot = result.find('.');
    // 1-based position of the first "." (or one past the end).
    long p = static_cast<long>(dot == std::string::npos ? result.size() : dot) + 1;
    for (p -= 3; p > 1; p -= 3)
        result.insert(static_cast<std::size_t>(p - 1), 1, ',');
    return result;
}

} // namespace maroka::text
