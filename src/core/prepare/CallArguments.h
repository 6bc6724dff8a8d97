#pragma once

// The arguments of a subprogram call "G65[NAME]A1.B2.P3": the text of each
// argument letter, the repeat count and the replacement code for "G90G00".

#include <array>
#include <string>
#include <string_view>

namespace maroka::prepare {

struct ArgumentLetter {
    char letter;
    std::string_view variable;
};

// Argument letter -> macro variable, in the order of the variables.
inline constexpr std::array<ArgumentLetter, 21> StandardArgumentMap = {{
    {'A', "#1"},  {'B', "#2"},  {'C', "#3"},  {'I', "#4"},  {'J', "#5"},  {'K', "#6"},  {'D', "#7"},
    {'E', "#8"},  {'F', "#9"},  {'H', "#11"}, {'M', "#13"}, {'Q', "#17"}, {'R', "#18"}, {'S', "#19"},
    {'T', "#20"}, {'U', "#21"}, {'V', "#22"}, {'W', "#23"}, {'X', "#24"}, {'Y', "#25"}, {'Z', "#26"},
}};

inline constexpr std::size_t kArgumentSlotBytes = 15;

struct CallArguments {
    // One slot per letter of StandardArgumentMap, then P, then G.
    std::array<std::string, 23> slots;
    std::string replacementCode; // "G" + the G text
    bool replacementPending = false;
    int repeatCount = 1;

    const std::string& Text(char letter) const;
};

struct ArgumentScan {
    bool ok = true;
    char tooLong = 0; // the letter whose text does not fit its slot
};

// Scans an argument text from which the comments are already removed.
ArgumentScan ScanArguments(std::string_view arguments, CallArguments& call);

// Removes every "(" ... ")" with both parentheses; false when a "(" has no ")".
bool RemoveComments(std::string& text);

} // namespace maroka::prepare
