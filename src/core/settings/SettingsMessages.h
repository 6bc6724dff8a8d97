#pragma once

// Every text the settings subsystem shows. "%s" stands for one argument.

#include <string>
#include <string_view>

namespace maroka::settings::msg {

// A write the system refused; %s is the settings file's path.
inline constexpr const char* kCannotWriteMessage = "%s に書き込めません";
// The file exists but cannot be read; %s is the settings file's path.
inline constexpr const char* kCannotReadMessage = "%s を読み込めません";

// Details shown under the message; %s is the key.
inline constexpr const char* kValueNotStorableDetail = "「%s」の値に Shift-JIS で表せない文字があります";
inline constexpr const char* kValueHasLineBreakDetail = "「%s」の値に改行があります";
inline constexpr const char* kNameNotStorableDetail = "「%s」はキー名に使えません";

// The settings dialog: options that exclude each other, and the questions
// before a list is cleared.
inline constexpr const char* kResendTurnsOffIgnoreCycleStart =
    "再送モードを有効にすると、\n\nサイクルスタート無視は、無効になります。";
inline constexpr const char* kIgnoreCycleStartTurnsOffResend =
    "サイクルスタート無視を有効にすると、\n\n再送モードは、無効になります。";
inline constexpr const char* kClearIgnoreCodesQuestion =
    "サブプロ内無視コードリストの内容をすべてクリアします。\n\n　よろしいですか？";
inline constexpr const char* kClearConversionQuestion =
    "文字列変換リストの内容をすべてクリアします。\n\n　よろしいですか？";

// A settings file saved by another editor. %s is the file's name.
inline constexpr const char* kReadAsUtf8Notice =
    "%s は UTF-8 で書かれていたので UTF-8 として読みました。保存するときは Shift-JIS で書き込みます。";
// Detail of a file that is neither; %s is the line number.
inline constexpr const char* kUnknownEncodingDetail = "%s 行目が Shift-JIS でも UTF-8 でもありません";

// `format` with its "%s" replaced by `argument`.
inline std::string FormatMessage(std::string_view format, std::string_view argument)
{
    std::string text(format);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}

} // namespace maroka::settings::msg
