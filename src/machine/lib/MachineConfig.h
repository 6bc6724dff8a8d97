#pragma once

// How the simulated control behaves on the line, and what it is asked to punch.

#include "core/text/ControlCodes.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace maroka::machine {

enum class MachineMode {
    Memory, // reads a program into memory as fast as it comes
    Dnc,    // drip feed: executes from a small buffer at its own pace, with XON/XOFF
};

struct MachineConfig {
    MachineMode mode = MachineMode::Memory;

    // The wire in characters per second, both ways: bytes the PC wrote come
    // off the pseudo-terminal no faster, and the control punches at it.
    // 9600 baud 8N1 (10 bits a character) = 960, 4800 baud 7E2 (11 bits) = 436.4.
    double lineCharsPerSecond = 960.0;
    // DNC: how fast the control executes its buffer, in characters per
    // second; 0 means the line's pace.
    double execCharsPerSecond = 0.0;

    // Memory mode: ignore everything before a DC2.
    bool requireDc2 = false;

    // DNC buffer: XOFF when it holds `highWater` bytes, XON when it is down to
    // `lowWater`; a byte that finds it full is lost and raises an overflow alarm.
    std::size_t bufferSize = 256;
    std::size_t highWater = 192;
    std::size_t lowWater = 64;
    unsigned char xoffByte = text::kXoff13;
    unsigned char xonByte = text::kXon;
    bool stopOnAlarm = false; // stop reading after the first overflow alarm

    unsigned char cycleStartByte = text::kDc1;

    // A tape whose closing "%" has come is finished after this much quiet when
    // no line end follows it.
    std::chrono::milliseconds tailGrace{200};
    // Memory mode: a started tape with no byte for this long is finished as
    // cut off (0: wait for ever).
    std::chrono::milliseconds silenceTimeout{0};
};

// The execution pace in effect.
double ExecCharsPerSecond(const MachineConfig& config);

// Checks the numbers of `config`; returns an empty text when they make sense.
std::string ValidateConfig(const MachineConfig& config);

struct ByteFault {
    enum class Kind {
        Flip,    // flips the lowest bit, as a noisy line would
        Replace, // puts `value` in its place
        Drop,    // leaves it out
    };
    std::size_t position = 0; // 0-based offset into the program bytes
    Kind kind = Kind::Flip;
    unsigned char value = 0;
};

// One program the control punches to the PC: leader NULs, DC2, the bytes, DC4.
struct PunchJob {
    std::string data;
    std::size_t leaderNuls = 0;
    bool sendDc2 = true;
    bool sendDc4 = true;
    std::vector<ByteFault> faults;
    std::chrono::milliseconds startDelay{0};
    // Wait for the PC's start code (DC1 or DC2) before punching.
    bool waitForStart = false;
    // After the punch, a started reply tape with no byte for this long is
    // finished as cut off (0: keep the configured silence time-out).
    std::chrono::milliseconds answerSilence{0};
    // After the punch, send the cycle-start byte once this much later.
    std::optional<std::chrono::milliseconds> cycleStartAfter;
};

// The bytes a punch puts on the line, faults applied, without pacing.
std::string BuildPunchStream(const PunchJob& job);

// "%", CR LF, `commandLine`, CR LF, "%", CR LF: the short program a control
// sends to a PC in server mode, e.g. "R/PROG.NC".
std::string CommandProgram(const std::string& commandLine);

} // namespace maroka::machine
