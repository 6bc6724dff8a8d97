#pragma once

// The operations a block (one line of an NC program, CP932 bytes) passes on
// its way into the prepared send file. All of them are lead-byte aware: a
// two-byte character is never split, matched in its middle, or re-cased.

#include "core/prepare/BlockSettings.h"
#include "core/text/TextSearch.h"

#include <string>
#include <string_view>
#include <vector>

namespace maroka::prepare {

using text::AtCharBoundary;
using text::FindText;
using text::ReplaceAll;

inline bool ContainsText(std::string_view text, std::string_view needle)
{
    return FindText(text, needle) != std::string_view::npos;
}

bool HasLeadByte(std::string_view text);

// Removes CR, LF, TAB, space and the full-width space from the end.
void StripTrailingBlanks(std::string& block);
std::string_view StripTrailingBlanks(std::string_view block);

// Removes TAB, space and the full-width space from the end.
void StripTrailingSpaces(std::string& block);

// Without the leading and trailing bytes of value 32 or less.
std::string_view Trim(std::string_view text);

// Cuts the block at the first `commentStart` and strips the blanks before it.
void CutCommentStart(std::string& block, std::string_view commentStart);

void RemoveIgnoreStrings(std::string& block, const std::vector<std::string>& pieces);

void ApplyConversionTable(std::string& block, const std::vector<ConversionRow>& rows);

// Lower-cases each "(...)" comment; with `twoByteCheck` a comment holding a
// two-byte character becomes the two-byte marker first. False when a "(" has
// no ")" after it (the block is then partly processed).
bool CommentPass(std::string& block, bool twoByteCheck);

// Removes every macro-variable word ("X#1", "Y-#2+3") for drip feeding.
// False when the block cannot be drip-fed at all (it starts with a variable).
bool DncCheck(std::string& block);

void UpperCaseInPlace(std::string& block);

// Lower-cases [begin, end); `begin` must be a character boundary.
void LowerCaseRange(std::string& block, std::size_t begin, std::size_t end);

} // namespace maroka::prepare
