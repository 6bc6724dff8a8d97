#pragma once

// Case-insensitive comparison of UTF-8 texts (keys, names, commands): only
// ASCII letters fold, every other byte must match exactly.

#include <string_view>

namespace maroka::text {

inline constexpr char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline constexpr bool AsciiEqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    }
    return true;
}

} // namespace maroka::text
