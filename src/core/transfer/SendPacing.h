#pragma once

// The numeric send settings, checked before a send starts so that a typo in
// the settings is reported by name instead of sending with a guess.

#include "core/settings/SessionSettings.h"

#include <optional>
#include <string>
#include <variant>

namespace maroka::transfer {

inline constexpr std::size_t kMaxChunkSize = 2047;

struct SendPacing {
    std::size_t chunkSize = 1;
    long long delayMs = 0;
    long long waitMs = 0;
    long long exitSeconds = 0;
};

// The pacing, or the message naming the first setting that is not a number.
// Settings that are switched off are not checked.
std::variant<SendPacing, std::string> ReadSendPacing(const settings::SessionSettings& settings);

// A decimal number that may carry a fraction ("1.5"); nullopt otherwise.
std::optional<double> ParseDecimalNumber(const std::string& text);

} // namespace maroka::transfer
