#include "core/prepare/BlockSettings.h"

#include "core/text/Cp932.h"
#include "core/text/Encoding.h"

namespace maroka::prepare {

namespace {

class Converter {
public:
    explicit Converter(std::vector<std::string>& failures) : failures_(failures) {}

    std::string operator()(const std::string& utf8)
    {
        if (auto cp932 = text::Utf8ToCp932(utf8))
            return std::move(*cp932);
        failures_.push_back(utf8);
        return {};
    }

private:
    std::vector<std::string>& failures_;
};

void AppendField(std::string& out, const std::string& value)
{
    out += std::to_string(value.size());
    out += ':';
    out += value;
}

} // namespace

std::string EndOfBlockBytes(const std::string& setting)
{
    if (setting == "CR+LF")
        return "\r\n";
    if (setting == "LF+CR+CR")
        return "\n\r\r";
    return "\n";
}

std::vector<std::string> SplitIgnoreStrings(const std::string& text, const std::string& separators)
{
    // Separators are characters, so a two-byte separator never cuts the
    // middle of another two-byte character.
    auto isSeparator = [&separators](std::string_view ch) {
        for (std::size_t i = 0; i < separators.size(); i += text::CharLength(separators, i)) {
            if (std::string_view(separators).substr(i, text::CharLength(separators, i)) == ch)
                return true;
        }
        return false;
    };
    std::vector<std::string> pieces;
    std::string piece;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = text::CharLength(text, i);
        const std::string_view ch(text.data() + i, len);
        if (isSeparator(ch)) {
            if (!piece.empty())
                pieces.push_back(std::move(piece));
            piece.clear();
        } else {
            piece.append(ch);
        }
        i += len;
    }
    if (!piece.empty())
        pieces.push_back(std::move(piece));
    return pieces;
}

BlockSettings MakeBlockSettings(const settings::SessionSettings& s, const settings::ListSettings& lists,
                                const std::string& sendMode)
{
    BlockSettings b;
    Converter cp932(b.unconvertible);
    b.headPercent = s.sendHeadPercent;
    b.tailPercent = s.sendTailPercent;
    b.percentAtEachLabel = s.percentAtEachLabel;
    b.endOfBlockAfterTailPercent = s.endOfBlockAfterTailPercent;
    b.percentComment = s.sendPercentComment;
    b.blockSkip = s.blockSkipEnabled;
    b.blockSkipCharacter = cp932(s.blockSkipCharacter);
    b.commentStart = s.commentStartEnabled;
    b.commentStartText = cp932(s.commentStartCharacter);
    b.ignoreStrings = s.ignoreStringsEnabled;
    if (b.ignoreStrings)
        b.ignorePieces = SplitIgnoreStrings(cp932(s.ignoreStrings), cp932(s.ignoreStringSeparator));
    b.convert = s.convertOutputCharacters;
    if (b.convert) {
        for (const auto& pair : lists.conversionPairs) {
            if (pair.oldText.empty())
                continue;
            b.conversionRows.push_back({cp932(pair.oldText), cp932(pair.newText)});
        }
    }
    b.twoByteCheck = s.twoByteCheck;
    b.estimate = s.showRemainingTime;
    b.dncMode = sendMode == "DNC";
    b.ignoreCodesEnabled = s.subprogramIgnoreCodesEnabled;
    if (b.ignoreCodesEnabled) {
        for (const auto& code : lists.subprogramIgnoreCodes) {
            if (!code.empty())
                b.ignoreCodes.push_back(cp932(code));
        }
    }
    b.endOfBlock = EndOfBlockBytes(s.sendEndOfBlock);
    return b;
}

std::string BlockSettings::Fingerprint() const
{
    std::string out;
    for (bool flag :
         {headPercent, tailPercent, percentAtEachLabel, endOfBlockAfterTailPercent, percentComment, blockSkip,
          commentStart, ignoreStrings, convert, twoByteCheck, estimate, dncMode, ignoreCodesEnabled})
        out += flag ? '1' : '0';
    AppendField(out, blockSkipCharacter);
    AppendField(out, commentStartText);
    for (const auto& piece : ignorePieces)
        AppendField(out, piece);
    out += '|';
    for (const auto& row : conversionRows) {
        AppendField(out, row.oldText);
        AppendField(out, row.newText);
    }
    out += '|';
    for (const auto& code : ignoreCodes)
        AppendField(out, code);
    out += '|';
    AppendField(out, endOfBlock);
    return out;
}

} // namespace maroka::prepare
