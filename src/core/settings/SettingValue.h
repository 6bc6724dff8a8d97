#pragma once

// One setting as text: how the file's text becomes a member and back.

#include "core/settings/SessionSettings.h"

#include <optional>
#include <string>
#include <string_view>

namespace maroka::settings {

// An integer as the profile functions read it: a decimal number with an
// optional sign and blanks around it, within 32 bits. Anything else ("yes",
// "1.5", "0x10", "12abc", "") is not an integer.
std::optional<int> ParseProfileInteger(std::string_view text);

// The member's value as it is written to the file: text unchanged, integers
// in decimal, flags "1" or "0". A fixed-capacity text is cut to its capacity.
std::string FormatSettingValue(const SettingKey& key, const SessionSettings& settings);

// Sets the member from the file's text as loading does: a text is taken as
// it is (cut to its capacity), a flag is on for any integer but 0. Returns
// false, leaving the member alone, for an integer or flag that is not an
// integer.
bool AssignSettingValue(const SettingKey& key, std::string_view text, SessionSettings& settings);

// Sets the member to its default, the value of a missing key.
void ResetSettingValue(const SettingKey& key, SessionSettings& settings);

// `utf8` cut so that its CP932 form fits the key's capacity without splitting
// a character. Keys without a capacity of their own, and texts that have no
// CP932 form, come back unchanged.
std::string FitToCapacity(const SettingKey& key, std::string_view utf8);

} // namespace maroka::settings
