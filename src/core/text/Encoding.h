#pragma once

// Conversion between the UTF-8 used in memory and the CP932 used on disk and
// on the wire. Conversions happen at those boundaries only.

#include <optional>
#include <string>
#include <string_view>

namespace maroka::text {

// Both return nullopt when the input holds a sequence that has no
// counterpart in the other encoding, so a caller never writes a guess.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);

// True when `text` is well-formed UTF-8, plain ASCII included (no overlong
// forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Nothing but 7-bit bytes: the same text in CP932 and in UTF-8.
bool IsAscii(std::string_view text);

// Lossy forms for display: an unconvertible byte becomes "?" (to CP932) or
// U+FFFD (to UTF-8) and the rest is kept.
std::string Utf8ToCp932Lossy(std::string_view utf8);
std::string Cp932ToUtf8Lossy(std::string_view cp932);

} // namespace maroka::text
