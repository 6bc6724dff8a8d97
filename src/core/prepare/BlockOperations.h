#pragma once

// The operations a block (one line of an NC program, CP932 bytes) passes on
// its way into the prepared send file. All of them are lead-byte aware: a
// two-byte character is never split, matched in its middle, or re-cased.

#include "core/prepare/BlockSettings.h"

#include <string>
#include <string_view>
#include <vector>

namespace maroka::prepare {

// Whether `pos` starts a character (or is the end) of `text`.
bool AtCharBoundary(std::string_view text, std::size_t pos);

// Position of `needle` at a character boundary at or after `from`, or npos.
// An empty needle is never found.
std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from = 0);

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

// Replaces every occurrence of `find` from `from` on, left to right; the scan
// goes on after each inserted replacement, so a replacement that contains
// its own find text cannot loop. Returns whether anything was replaced.
bool ReplaceAll(std::string& block, std::string_view find, std::string_view replacement, std::size_t from = 0);

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
