#pragma once

// Will the line keep a DNC machine fed?
//
// A control executes from a buffer of a few hundred bytes. Where the program
// needs more characters a second than the line carries (many short moves at a
// high feed), the buffer runs dry and the machine stops mid-cut, which leaves
// dwell marks on the part. Before a DNC send the prepared program is run
// through a model of line and control: the line delivers characters at its
// paced rate while the buffer has room, a block is executed once it has
// arrived whole, and it takes the machining time the estimate gives it. A
// block that has to wait for its own bytes after the previous one finished
// is a stop. The same run is made for each standard rate, to name the
// slowest one that would keep the machine fed.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace maroka::prepare {

struct FeedLine {
    std::uint32_t baudRate = 9600;
    int bitsPerCharacter = 11;
    // The control's buffer, in bytes; most controls have a few hundred.
    std::size_t controlBuffer = kTypicalControlBuffer;

    static constexpr std::size_t kTypicalControlBuffer = 256;
};

struct FeedForecast {
    std::uint32_t baudRate = 0;
    double stoppedSeconds = 0;     // all predicted stops together
    std::size_t stops = 0;         // blocks that would wait for their bytes
    std::size_t firstStopLine = 0; // 1-based line of the first of them; 0: none
    std::string firstStopBlock;    // its text, UTF-8, shortened for a message
    // The slowest standard rate at which no block waits; nullopt when even
    // the fastest is too slow.
    std::optional<std::uint32_t> sufficientBaudRate;

    bool Starves() const { return stops > 0; }
};

// Rates the verdict may name, slowest first.
const std::vector<std::uint32_t>& StandardBaudRates();

// Runs the program read from `program` (CP932 lines) through the model.
FeedForecast ForecastFeed(std::istream& program, const FeedLine& line);

// The verdict as one line for the status bar, the log and stderr.
std::string FeedForecastText(const FeedForecast& forecast);

} // namespace maroka::prepare
