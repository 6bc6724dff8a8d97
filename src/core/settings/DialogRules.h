#pragma once

// The decisions the settings dialog makes on its own: the options that
// exclude each other, which edits make the prepared send data stale, and how
// a chosen path enters its history list.

#include "core/settings/SessionSettings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::settings {

// One control's value as text, in the form the settings file holds it
// ("1"/"0" for a check box).
struct SettingEdit {
    const SettingKey* key = nullptr;
    std::string text;
};

// Resend waits for the machine to ask again; ignoring cycle start sends
// without waiting at all. The two cannot both be on.
enum class ExclusiveOption {
    ResendMode,
    IgnoreCycleStart,
};

// When `checked` has just been checked while the other option is checked:
// the message to show; the other option is then unchecked. nullopt when
// nothing has to give way.
std::optional<std::string_view> ExclusionMessage(ExclusiveOption checked, bool otherChecked);

// True when changing the control of `key` to `newText` makes the prepared
// send data stale. `current` holds the settings as they were before the
// dialog was opened (nothing is applied before it closes).
bool ChangeInvalidatesBuild(const SettingKey& key, std::string_view newText, const SessionSettings& current);

// A cell of the conversion table edited; the table only matters while the
// conversion is on.
bool ConversionCellInvalidatesBuild(const SessionSettings& current);

// Puts `entry` at the top of `history`, taking out an earlier copy, and keeps
// at most kHistoryCount entries (the oldest go). An empty entry is ignored.
void PutAtTopOfHistory(std::vector<std::string>& history, const std::string& entry);

} // namespace maroka::settings
