#include "core/settings/DialogRules.h"

#include "core/settings/SettingValue.h"
#include "core/settings/SettingsMessages.h"

#include <algorithm>

namespace maroka::settings {

namespace {

using S = SessionSettings;

// Check boxes whose new state, when it differs from the setting, changes
// what a send puts on the line.
constexpr FlagMember kBuildFlags[] = {
    &S::sendDc2AtStart,
    &S::sendDc4AtEnd,
    &S::sendDelayEnabled,
    &S::sendWaitEnabled,
    &S::sendHeadPercent,
    &S::sendTailPercent,
    &S::percentAtEachLabel,
    &S::endOfBlockAfterTailPercent,
    &S::sendPercentComment,
    &S::blockSkipEnabled,
    &S::commentStartEnabled,
    &S::ignoreStringsEnabled,
    &S::twoByteCheck,
    &S::convertOutputCharacters,
    &S::subprogramIgnoreCodesEnabled,
    &S::noConversionSend,
    &S::noConversionReceive,
};

// Texts that count only while the option beside them is on.
struct GatedText {
    TextMember text;
    FlagMember option;
};

constexpr GatedText kBuildTexts[] = {
    {&S::sendDelayMs, &S::sendDelayEnabled},        {&S::sendWaitMs, &S::sendWaitEnabled},
    {&S::blockSkipCharacter, &S::blockSkipEnabled}, {&S::commentStartCharacter, &S::commentStartEnabled},
    {&S::ignoreStrings, &S::ignoreStringsEnabled},  {&S::ignoreStringSeparator, &S::ignoreStringsEnabled},
};

} // namespace

std::optional<std::string_view> ExclusionMessage(ExclusiveOption checked, bool otherChecked)
{
    if (!otherChecked)
        return std::nullopt;
    return checked == ExclusiveOption::ResendMode ? msg::kResendTurnsOffIgnoreCycleStart
                                                  : msg::kIgnoreCycleStartTurnsOffResend;
}

bool ChangeInvalidatesBuild(const SettingKey& key, std::string_view newText, const SessionSettings& current)
{
    for (const FlagMember flag : kBuildFlags) {
        if (&KeyOf(flag) != &key)
            continue;
        SessionSettings changed = current;
        if (!AssignSettingValue(key, newText, changed))
            return false;
        return changed.*flag != current.*flag;
    }
    for (const GatedText& gated : kBuildTexts) {
        if (&KeyOf(gated.text) == &key)
            return current.*gated.option;
    }
    return &key == &KeyOf(&S::sendEndOfBlock) && newText != current.sendEndOfBlock;
}

bool ConversionCellInvalidatesBuild(const SessionSettings& current)
{
    return current.convertOutputCharacters;
}

void PutAtTopOfHistory(std::vector<std::string>& history, const std::string& entry)
{
    if (entry.empty())
        return;
    history.erase(std::remove(history.begin(), history.end(), entry), history.end());
    history.insert(history.begin(), entry);
    if (history.size() > static_cast<std::size_t>(kHistoryCount))
        history.resize(static_cast<std::size_t>(kHistoryCount));
}

} // namespace maroka::settings
