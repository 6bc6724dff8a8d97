#pragma once

// Byte helpers for NC data in code page 932 (Shift-JIS).
//
// NC data stays bytes from file to wire. Every helper here knows that a lead
// byte (0x81-0x9F, 0xE0-0xFC) starts a two-byte character whose trail byte
// may look like an ASCII letter, so a character is never split or changed.

#include <string>
#include <string_view>

namespace maroka::text {

inline constexpr bool IsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Length in bytes of the character that starts at `pos`: 2 for a lead byte
// followed by a trail byte, 1 otherwise (also for a lead byte at the very end).
std::size_t CharLength(std::string_view text, std::size_t pos);

// Upper- or lower-cases ASCII letters only; trail bytes are left alone.
void ToUpperInPlace(std::string& text);
void ToLowerInPlace(std::string& text);
std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);

// Compares without regard to the case of ASCII letters, character by character.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// A hash that agrees with EqualsIgnoreCase.
std::size_t HashIgnoreCase(std::string_view text);

// For maps of names that match without regard to case; a look-up by
// string_view neither copies nor upper-cases the name.
struct IgnoreCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return HashIgnoreCase(text); }
};

struct IgnoreCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return EqualsIgnoreCase(a, b); }
};

// Position of `needle` in `haystack` at a character boundary, or npos.
std::size_t FindAtCharBoundary(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// The longest prefix of `text` of at most `maxBytes` that does not end in the
// middle of a two-byte character.
std::string_view CutAtCharBoundary(std::string_view text, std::size_t maxBytes);

// Inserts "," every three digits left of the first "." (or of the end).
std::string FormatThousands(std::string_view text);

} // namespace maroka::text
