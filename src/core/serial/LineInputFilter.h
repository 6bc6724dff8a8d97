#pragma once

// What a line does with the bytes the machine sends, whatever carries them:
// takes the machine's XON/XOFF out of the data (while fOutX is on) and keeps
// the output state they set, takes NUL bytes out (while fNull is on), notes
// every event character (EvtChar, DC1) for the next WaitEvent, and buffers the
// rest for ReadAvailable. Bytes are compared on the data bits only, so on a
// 7-bit line 0x93 and 0x13 are the same XOFF.

#include "core/serial/LineSettings.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace maroka::serial {

class LineInputFilter {
public:
    // Takes the characters and switches of `settings`; a line that no longer
    // obeys XON/XOFF is no longer held by one.
    void Configure(const LineSettings& settings);

    void Take(const unsigned char* data, std::size_t size);

    std::size_t Buffered() const { return input_.size() - head_; }
    // Moves up to `size` buffered bytes to `data`; returns how many.
    std::size_t Read(char* data, std::size_t size);
    // Gives back the room of bytes already read; call before taking more.
    void Compact();

    // True while the machine's XOFF holds our output.
    bool OutputStopped() const { return outputStopped_; }
    // Output starts afresh: a stale XOFF is forgotten.
    void ResumeOutput() { outputStopped_ = false; }
    // True once after an event character arrived.
    bool TakeEventChar();
    // Discards buffered input and a pending event character.
    void ClearInput();

private:
    std::string input_;
    std::size_t head_ = 0;
    std::uint8_t dataMask_ = 0xFF;
    std::uint8_t eventChar_ = kXon;
    std::uint8_t xonChar_ = kXon;
    std::uint8_t xoffChar_ = kXoff13;
    bool obeyXonXoff_ = false;
    bool dropNul_ = false;
    bool outputStopped_ = false;
    bool eventCharSeen_ = false;
};

} // namespace maroka::serial
