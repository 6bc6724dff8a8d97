#include "core/transfer/ReceivedFileRepair.h"

#include <algorithm>

namespace maroka::transfer {

namespace {

constexpr std::size_t kMaxLastGoodLine = 2047;
constexpr std::size_t kDamagedWindow = 16; // lines searched in the damaged list
constexpr std::size_t kOtherWindow = 64;   // ... and in the other one

void TrimTrailingBlanks(std::vector<std::string>& lines)
{
    for (std::string& line : lines) {
        std::size_t cut = line.size();
        while (cut > 0 && static_cast<unsigned char>(line[cut - 1]) <= 0x20)
            --cut;
        line.resize(cut);
    }
}

std::size_t TextLength(const std::vector<std::string>& lines)
{
    std::size_t length = 0;
    for (const std::string& line : lines)
        length += line.size() + 2;
    return length;
}

int Finish(RepairState& state, const std::vector<std::string>& lines, const RepairWriter& write)
{
    if (!write(lines)) {
        state.repairFailed = true;
        return kRepairWriteFailed;
    }
    state.repairedSize = TextLength(lines);
    state.repairedLineCount = lines.size();
    return 0;
}

int Fail(RepairState& state, int number)
{
    state.repairFailed = true;
    return number;
}

// The error position as a number; 0 also for a text that is not one.
std::uint64_t Position(const std::string& text)
{
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

} // namespace

void RecordReceiveError(RepairState& state, std::string_view currentLine, std::uint64_t bytesReceived)
{
    state.lastGoodLine = std::string(currentLine.substr(0, kMaxLastGoodLine));
    if (state.receptionCount == 0) {
        state.firstErrorPositions.push_back(std::to_string(bytesReceived));
    } else if (state.receptionCount == 1) {
        state.secondErrorPositions.push_back(std::to_string(bytesReceived));
    } else {
        state.firstErrorPositions.clear();
        state.secondErrorPositions.clear();
    }
}

int RepairStep(RepairState& state, bool errorInFirst, const RepairWriter& write)
{
    state.repairFailed = false;
    TrimTrailingBlanks(state.firstLines);
    TrimTrailingBlanks(state.secondLines);
    if (state.firstLines == state.secondLines)
        return Finish(state, state.firstLines, write);
    if (state.firstLines.empty() || state.secondLines.empty())
        return Fail(state, 9);

    std::vector<std::string>& damaged = errorInFirst ? state.firstLines : state.secondLines;
    const std::vector<std::string>& other = errorInFirst ? state.secondLines : state.firstLines;
    const std::size_t common = std::min(damaged.size(), other.size());
    std::size_t d = 0;
    while (d < common && damaged[d] == other[d])
        ++d;
    if (d == common)
        return Fail(state, 10);

    const std::size_t damagedEnd = std::min(d + kDamagedWindow, damaged.size());
    const std::size_t otherEnd = std::min(d + kOtherWindow, other.size());
    std::size_t found = 0;
    std::size_t match = 0;
    for (std::size_t i = d + 1; i < damagedEnd && found == 0; ++i) {
        for (std::size_t j = d + 1; j < otherEnd; ++j) {
            if (damaged[i] == other[j]) {
                found = i;
                match = j;
                break;
            }
        }
    }
    if (found == 0)
        return Fail(state, errorInFirst ? 13 : 15);

    const std::size_t before = TextLength(damaged);
    std::vector<std::string> mended(damaged.begin(), damaged.begin() + static_cast<long>(d));
    mended.insert(mended.end(), other.begin() + static_cast<long>(d), other.begin() + static_cast<long>(match) + 1);
    mended.insert(mended.end(), damaged.begin() + static_cast<long>(found) + 1, damaged.end());
    // A replacement that loses text is refused, and the lists stay as they
    // were, so nothing later mistakes them for a finished merge.
    if (TextLength(mended) < before)
        return Fail(state, errorInFirst ? 14 : 16);
    damaged = std::move(mended);
    return Finish(state, damaged, write);
}

int MergeReceptions(RepairState& state, const RepairWriter& write)
{
    auto& first = state.firstErrorPositions;
    auto& second = state.secondErrorPositions;
    if (first.empty() || second.empty())
        return Fail(state, 1);
    const std::size_t rounds = first.size() + second.size();
    for (std::size_t round = 0; round < rounds; ++round) {
        int result = 0;
        if (!first.empty() && !second.empty()) {
            const std::uint64_t a = Position(first.front());
            const std::uint64_t b = Position(second.front());
            if (a == 0 || b == 0)
                return Fail(state, 2);
            if (a == b)
                return Fail(state, 4);
            const bool inFirst = a < b;
            result = RepairStep(state, inFirst, write);
            (inFirst ? first : second).erase((inFirst ? first : second).begin());
        } else if (!first.empty()) {
            if (Position(first.front()) == 0)
                return Fail(state, 5);
            result = RepairStep(state, true, write);
            first.erase(first.begin());
        } else if (!second.empty()) {
            if (Position(second.front()) == 0)
                return Fail(state, 6);
            result = RepairStep(state, false, write);
            second.erase(second.begin());
        } else {
            if (state.firstLines == state.secondLines)
                return 0;
            return Fail(state, 7);
        }
        if (result != 0)
            return result;
        if (state.firstLines == state.secondLines)
            return 0;
    }
    return 0;
}

std::vector<std::string> SplitTextLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string JoinCrLf(const std::vector<std::string>& lines)
{
    std::string text;
    text.reserve(TextLength(lines));
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

} // namespace maroka::transfer
