#include "core/settings/SettingValue.h"

#include "core/text/Cp932.h"
#include "core/text/Encoding.h"

#include <charconv>
#include <type_traits>

namespace maroka::settings {

std::optional<int> ParseProfileInteger(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    // from_chars takes "-" but not "+".
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string FormatSettingValue(const SettingKey& key, const SessionSettings& settings)
{
    return std::visit(
        [&](auto member) -> std::string {
            using Member = decltype(member);
            if constexpr (std::is_same_v<Member, TextMember>)
                return FitToCapacity(key, settings.*member);
            else if constexpr (std::is_same_v<Member, IntegerMember>)
                return std::to_string(settings.*member);
            else
                return settings.*member ? "1" : "0";
        },
        key.member);
}

bool AssignSettingValue(const SettingKey& key, std::string_view text, SessionSettings& settings)
{
    return std::visit(
        [&](auto member) -> bool {
            using Member = decltype(member);
            if constexpr (std::is_same_v<Member, TextMember>) {
                settings.*member = FitToCapacity(key, text);
                return true;
            } else {
                const auto number = ParseProfileInteger(text);
                if (!number)
                    return false;
                if constexpr (std::is_same_v<Member, IntegerMember>)
                    settings.*member = *number;
                else
                    settings.*member = *number != 0;
                return true;
            }
        },
        key.member);
}

void ResetSettingValue(const SettingKey& key, SessionSettings& settings)
{
    static const SessionSettings defaults;
    std::visit([&](auto member) { settings.*member = defaults.*member; }, key.member);
}

std::string FitToCapacity(const SettingKey& key, std::string_view utf8)
{
    if (key.maxBytes == 0)
        return std::string(utf8);
    const auto cp932 = text::Utf8ToCp932(utf8);
    if (!cp932 || cp932->size() <= key.maxBytes)
        return std::string(utf8);
    // A prefix cut at a character boundary of valid CP932 converts back.
    return text::Cp932ToUtf8(text::CutAtCharBoundary(*cp932, key.maxBytes)).value_or(std::string());
}

} // namespace maroka::settings
