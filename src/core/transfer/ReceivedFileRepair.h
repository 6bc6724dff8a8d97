#pragma once

// Rebuilds a program from two damaged receptions of it: the lines lost in
// one are taken from the other. The receive loop records where each line
// error fell (RecordReceiveError); after the second damaged reception the
// merge walks the error positions in order and mends one damaged region per
// step (RepairStep), writing the result with CR LF line ends.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::transfer {

struct RepairState {
    std::vector<std::string> firstLines;  // the receive file after the first reception
    std::vector<std::string> secondLines; // ... and after the second
    // Bytes received so far in that reception at each recorded error, as text.
    std::vector<std::string> firstErrorPositions;
    std::vector<std::string> secondErrorPositions;
    int receptionCount = 0;   // receptions of this cycle that ended with a data error
    std::string lastGoodLine; // the line received before the latest error, trimmed
    bool repairFailed = false;
    std::size_t repairedSize = 0;      // bytes of the written text, CR LF included
    std::size_t repairedLineCount = 0; // its lines
};

// Notes a line error of the running reception.
void RecordReceiveError(RepairState& state, std::string_view currentLine, std::uint64_t bytesReceived);

// Stores the given lines as the receive file; false when that fails.
using RepairWriter = std::function<bool(const std::vector<std::string>& lines)>;

// Returned instead of an error number when the writer failed.
inline constexpr int kRepairWriteFailed = -1;

// 0 when the merge went through, else the error number (1 to 16) or
// kRepairWriteFailed. Sets repairFailed on failure.
int MergeReceptions(RepairState& state, const RepairWriter& write);
// One repair step; the damaged lines are in firstLines when `errorInFirst`.
int RepairStep(RepairState& state, bool errorInFirst, const RepairWriter& write);

// Lines of a text file as a string list reads them: a line ends at CR LF, at
// LF or at CR; a last line without an end counts.
std::vector<std::string> SplitTextLines(std::string_view text);
// Every line followed by CR LF.
std::string JoinCrLf(const std::vector<std::string>& lines);

} // namespace maroka::transfer
