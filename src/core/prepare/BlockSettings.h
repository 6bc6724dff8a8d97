#pragma once

// The settings the block operations use, in the form they are used on data:
// every NC-side text converted to CP932 once, empty entries that would match
// everything taken out.

#include "core/settings/SessionSettings.h"

#include <string>
#include <vector>

namespace maroka::prepare {

struct ConversionRow {
    std::string oldText;
    std::string newText;
};

struct BlockSettings {
    bool headPercent = true;
    bool tailPercent = true;
    bool percentAtEachLabel = false;
    bool endOfBlockAfterTailPercent = true;
    bool percentComment = false;

    bool blockSkip = true;
    std::string blockSkipCharacter = "/"; // only its first byte counts; empty skips nothing

    bool commentStart = true;
    std::string commentStartText = "'"; // empty cuts nothing

    bool ignoreStrings = false;
    std::vector<std::string> ignorePieces;

    bool convert = false;
    std::vector<ConversionRow> conversionRows; // rows with an empty old text are left out

    bool twoByteCheck = true;
    bool estimate = true;
    bool dncMode = false;

    bool ignoreCodesEnabled = false;
    std::vector<std::string> ignoreCodes; // empty codes are left out

    std::string endOfBlock = "\n";

    // The settings texts that could not be written in CP932, UTF-8; empty
    // when all converted. A build refuses to run with such settings.
    std::vector<std::string> unconvertible;

    // Every value above as one text, so a reuse check sees any change.
    std::string Fingerprint() const;
};

// "LF" -> 0A, "CR+LF" -> 0D 0A, "LF+CR+CR" -> 0A 0D 0D, anything else -> 0A.
std::string EndOfBlockBytes(const std::string& setting);

// `sendMode` is the text of the main window's MEM/DNC selector.
BlockSettings MakeBlockSettings(const settings::SessionSettings& settings, const settings::ListSettings& lists,
                                const std::string& sendMode);

// The ignore text cut at every character (one or two bytes) that occurs in
// `separators`; no empty pieces.
std::vector<std::string> SplitIgnoreStrings(const std::string& text, const std::string& separators);

} // namespace maroka::prepare
