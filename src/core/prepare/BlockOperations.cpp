#include "core/prepare/BlockOperations.h"

#include "core/prepare/PrepareMessages.h"
#include "core/text/Cp932.h"

#include <cstring>

namespace maroka::prepare {

namespace {

constexpr std::string_view kFullWidthSpace = "\x81\x40";

inline bool IsLead(unsigned char byte)
{
    return text::IsLeadByte(byte);
}

bool IsDncExpressionByte(char c)
{
    return c == '#' || c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9');
}

std::size_t TrailingEnd(std::string_view block, bool lineEnds)
{
    std::size_t end = block.size();
    while (end > 0) {
        const char c = block[end - 1];
        if (c == ' ' || c == '\t' || (lineEnds && (c == '\r' || c == '\n'))) {
            --end;
            continue;
        }
        if (end >= 2 && block.substr(end - 2, 2) == kFullWidthSpace && AtCharBoundary(block.substr(0, end), end - 2)) {
            end -= 2;
            continue;
        }
        break;
    }
    return end;
}

} // namespace

bool HasLeadByte(std::string_view text)
{
    for (const char c : text) {
        if (IsLead(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

void StripTrailingBlanks(std::string& block)
{
    block.resize(TrailingEnd(block, true));
}

std::string_view StripTrailingBlanks(std::string_view block)
{
    return block.substr(0, TrailingEnd(block, true));
}

void StripTrailingSpaces(std::string& block)
{
    block.resize(TrailingEnd(block, false));
}

std::string_view Trim(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return text.substr(begin, end - begin);
}

void CutCommentStart(std::string& block, std::string_view commentStart)
{
    const std::size_t pos = FindText(block, commentStart);
    if (pos == std::string::npos)
        return;
    block.resize(pos);
    StripTrailingSpaces(block);
}

void RemoveIgnoreStrings(std::string& block, const std::vector<std::string>& pieces)
{
    for (const auto& piece : pieces)
        ReplaceAll(block, piece, {});
}

void ApplyConversionTable(std::string& block, const std::vector<ConversionRow>& rows)
{
    for (const auto& row : rows)
        ReplaceAll(block, row.oldText, row.newText);
}

bool CommentPass(std::string& block, bool twoByteCheck)
{
    static const std::string_view marker = msg::kTwoByteCommentMarker;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t open = block.find('(', pos);
        if (open == std::string::npos)
            return true;
        std::size_t close = block.find(')', open + 1);
        if (close == std::string::npos)
            return false;
        if (twoByteCheck && HasLeadByte(std::string_view(block).substr(open, close - open))) {
            block.replace(open, close - open, marker);
            close = open + marker.size();
        }
        LowerCaseRange(block, open, close);
        pos = close + 1;
    }
}

bool DncCheck(std::string& block)
{
    for (;;) {
        const std::size_t hash = block.find('#');
        if (hash == std::string::npos)
            return true;
        std::size_t end = hash;
        while (end < block.size() && IsDncExpressionByte(block[end]))
            ++end;
        std::size_t start = hash;
        for (int signs = 0; signs < 8 && start > 0 && (block[start - 1] == '+' || block[start - 1] == '-'); ++signs)
            --start;
        // A variable with nothing but signs before it has no address to drop
        // with it: the block is a variable expression, not a word.
        if (start == 0)
            return false;
        block.erase(start - 1, end - (start - 1));
    }
}

void UpperCaseInPlace(std::string& block)
{
    char* p = block.data();
    const std::size_t n = block.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c >= 'a' && c <= 'z')
            p[i] = static_cast<char>(c - 32);
        else if (c >= 0x81 && IsLead(c))
            ++i;
    }
}

void LowerCaseRange(std::string& block, std::size_t begin, std::size_t end)
{
    char* p = block.data();
    for (std::size_t i = begin; i < end; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c >= 'A' && c <= 'Z')
            p[i] = static_cast<char>(c + 32);
        else if (c >= 0x81 && IsLead(c))
            ++i;
    }
}

} // namespace maroka::prepare
