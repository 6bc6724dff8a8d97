#include "core/prepare/CallArguments.h"

#include <cstdlib>

namespace maroka::prepare {

namespace {

constexpr std::size_t kSlotP = 21;
constexpr std::size_t kSlotG = 22;

bool IsArgumentByte(char c)
{
    return c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9');
}

// The run of "+-.0123456789" right after the first `letter`.
std::string_view LetterText(std::string_view arguments, char letter)
{
    const std::size_t pos = arguments.find(letter);
    if (pos == std::string_view::npos)
        return {};
    std::size_t end = pos + 1;
    while (end < arguments.size() && IsArgumentByte(arguments[end]))
        ++end;
    return arguments.substr(pos + 1, end - pos - 1);
}

// The leading integer, as atoi reads it.
int LeadingInteger(std::string_view text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1'000'000'000)
            value = 1'000'000'000;
    }
    return static_cast<int>(negative ? -value : value);
}

} // namespace

const std::string& CallArguments::Text(char letter) const
{
    if (letter == 'P')
        return slots[kSlotP];
    if (letter == 'G')
        return slots[kSlotG];
    for (std::size_t i = 0; i < StandardArgumentMap.size(); ++i) {
        if (StandardArgumentMap[i].letter == letter)
            return slots[i];
    }
    static const std::string none;
    return none;
}

ArgumentScan ScanArguments(std::string_view arguments, CallArguments& call)
{
    for (auto& slot : call.slots)
        slot.clear();
    call.replacementCode.clear();
    call.replacementPending = false;
    call.repeatCount = 1;
    ArgumentScan scan;
    if (arguments.find_first_of("ABCDEFHIJKMPQRSTUVWXYZ") == std::string_view::npos)
        return scan;
    auto take = [&scan](std::string& slot, char letter, std::string_view text) {
        if (text.size() > kArgumentSlotBytes) {
            scan.ok = false;
            scan.tooLong = letter;
            return false;
        }
        slot.assign(text);
        return true;
    };
    if (arguments.find('G') != std::string_view::npos) {
        if (!take(call.slots[kSlotG], 'G', LetterText(arguments, 'G')))
            return scan;
        // A bare "G" has no code to put anywhere.
        if (!call.slots[kSlotG].empty()) {
            call.replacementCode = "G" + call.slots[kSlotG];
            call.replacementPending = true;
        }
    }
    for (std::size_t i = 0; i < StandardArgumentMap.size(); ++i) {
        const char letter = StandardArgumentMap[i].letter;
        if (!take(call.slots[i], letter, LetterText(arguments, letter)))
            return scan;
    }
    if (arguments.find('P') != std::string_view::npos) {
        if (!take(call.slots[kSlotP], 'P', LetterText(arguments, 'P')))
            return scan;
        call.repeatCount = LeadingInteger(call.slots[kSlotP]);
    }
    return scan;
}

bool RemoveComments(std::string& text)
{
    std::string out;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t open = text.find('(', pos);
        if (open == std::string::npos)
            break;
        const std::size_t close = text.find(')', open + 1);
        if (close == std::string::npos)
            return false;
        out.append(text, pos, open - pos);
        pos = close + 1;
    }
    if (pos == 0)
        return true;
    out.append(text, pos, std::string::npos);
    text.swap(out);
    return true;
}

} // namespace maroka::prepare
