#pragma once

// One program as the simulated control stored it.

#include <cstddef>
#include <string>

namespace maroka::machine {

enum class ProgramEnd {
    TailPercent, // the closing "%" line arrived
    Dc4,         // DC4 ended the tape before a closing "%"
    Silence,     // the sender went quiet in the middle of the tape
    Stopped,     // the machine was stopped in the middle of the tape
};

struct ReceivedProgram {
    std::string text;      // from the first "%" through the closing "%" line; NUL and DC1-DC4 left out
    std::string number;    // "O1234" from the first "O" or ":" line, empty when there is none
    std::size_t lines = 0; // line feeds in `text`
    ProgramEnd end = ProgramEnd::TailPercent;

    bool Complete() const { return end == ProgramEnd::TailPercent; }
};

const char* ProgramEndName(ProgramEnd end);

} // namespace maroka::machine
