#pragma once

// Cuts programs out of the byte stream a control reads, the way a tape
// reader does:
//
//   - With `requireDc2`, everything before a DC2 is ignored.
//   - The tape starts at the first "%"; NULs (leader), CR/LF and anything
//     else before it are skipped.
//   - It ends at the next "%" that begins a line; the line end that follows
//     that "%" (CR, LF) still belongs to the program. A DC4 also ends it.
//   - NUL and DC1-DC4 are never stored: they are tape feed and line control.
//
// The reader knows no clock: the owner ends a tape that stalls with Finish().

#include "machine/lib/ReceivedProgram.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace maroka::machine {

class TapeReader {
public:
    explicit TapeReader(bool requireDc2 = false);

    void Feed(unsigned char byte);
    void Feed(std::string_view bytes);

    // Ends the current tape for `why`. A tape whose closing "%" has been read
    // always ends as TailPercent; before the first "%" there is nothing to end.
    void Finish(ProgramEnd why);

    bool InProgram() const { return state_ == State::Body; }
    bool AfterClosingPercent() const { return state_ == State::Tail; }

    // Bytes skipped before a tape started (other than NUL, CR, LF and DC codes).
    std::size_t SkippedBytes() const { return skipped_; }

    // Programs finished since the last call.
    std::vector<ReceivedProgram> TakeFinished();

private:
    enum class State {
        WaitDc2,
        Leader,
        Body,
        Tail,
    };

    void Close(ProgramEnd why);
    State IdleState() const { return requireDc2_ ? State::WaitDc2 : State::Leader; }

    bool requireDc2_;
    State state_;
    bool atLineStart_ = false;
    std::string text_;
    std::size_t skipped_ = 0;
    std::vector<ReceivedProgram> finished_;
};

// "O" and the digits of the first line that starts with "O" or ":" and a
// digit (some controls punch the program number as ":1234"), or empty.
std::string FindProgramNumber(std::string_view text);

} // namespace maroka::machine
