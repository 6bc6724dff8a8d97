#include "core/transfer/SendPacing.h"

#include "core/transfer/LineSetup.h"
#include "core/transfer/TransferMessages.h"

#include <charconv>
#include <cmath>

namespace maroka::transfer {

std::optional<double> ParseDecimalNumber(const std::string& text)
{
    const std::string trimmed = TrimBox(text);
    if (trimmed.empty())
        return std::nullopt;
    double value = 0;
    const char* first = trimmed.data();
    const char* last = first + trimmed.size();
    if (*first == '+')
        ++first;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
    if (ec != std::errc() || ptr != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::variant<SendPacing, std::string> ReadSendPacing(const settings::SessionSettings& settings)
{
    SendPacing pacing;
    const auto chunk = ParseDecimal(settings.sendBufferSize);
    if (!chunk || *chunk < 1 || *chunk > static_cast<long long>(kMaxChunkSize))
        return std::string(msg::kChunkTooLarge) + settings.sendBufferSize;
    pacing.chunkSize = static_cast<std::size_t>(*chunk);

    struct Check {
        bool used;
        const char* key;
        const std::string& text;
        long long& target;
    };
    const Check checks[] = {
        {settings.sendDelayEnabled, "送信遅延時間", settings.sendDelayMs, pacing.delayMs},
        {settings.sendWaitEnabled, "送信ウエイト時間", settings.sendWaitMs, pacing.waitMs},
        {settings.exitAfterSend, "送信後終了秒数", settings.exitAfterSendSeconds, pacing.exitSeconds},
    };
    for (const Check& check : checks) {
        if (!check.used)
            continue;
        const auto value = ParseDecimalNumber(check.text);
        if (!value || *value < 0 || *value > 86400000.0)
            return std::string(check.key) + msg::kNotANumberSuffix + check.text;
        check.target = static_cast<long long>(std::trunc(*value));
    }
    return pacing;
}

} // namespace maroka::transfer
