#pragma once

// Every text the settings subsystem shows. "%s" stands for one argument.

#include <string>
#include <string_view>

namespace maroka::settings {

// A write the system refused; %s is the settings file's path.
inline constexpr std::string_view kCannotWriteMessage = "%s に書き込めません";
// The file exists but cannot be read; %s is the settings file's path.
inline constexpr std::string_view kCannotReadMessage = "%s を読み込めません";

// Details shown under the message; %s is the key.
inline constexpr std::string_view kValueNotStorableDetail = "「%s」の値に Shift-JIS で表せない文字があります";
inline constexpr std::string_view kValueHasLineBreakDetail = "「%s」の値に改行があります";
inline constexpr std::string_view kNameNotStorableDetail = "「%s」はキー名に使えません";

// `format` with its "%s" replaced by `argument`.
inline std::string FormatMessage(std::string_view format, std::string_view argument)
{
    std::string text(format);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}

} // namespace maroka::settings
