#pragma once

// Display updates a worker makes between two redraws of a window.
//
// A DNC feed at 115200 baud shows a few hundred lines a second, each with a
// status text and a progress step. Handing every one to the UI thread and
// waiting for it costs two thread switches and a text layout per line; a
// window redraws some thirty times a second, so a front end gathers the
// updates here and applies them in one go. Only the last state of a text or
// progress matters, lines before a clear are never seen, and no more lines
// are kept than a view could show.

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace maroka {

struct DisplayUpdate {
    enum class Kind {
        FileName,
        Status,
        DataLines,
        ClearData,
        Progress,
        RemainingTime,
    };
    Kind kind = Kind::Status;
    std::string text;               // FileName, Status; RemainingTime: remaining
    std::string secondText;         // RemainingTime: corrected
    std::vector<std::string> lines; // DataLines
    long long position = 0;         // Progress
    long long maximum = 0;          // Progress
    bool visible = false;           // RemainingTime
};

class DisplayBatch {
public:
    // Lines beyond this many are dropped from the front of the batch.
    static constexpr std::size_t kMaxLines = 1000;

    // Each returns true when the batch was empty: the caller arranges for
    // Take() to be called soon.
    bool FileName(std::string text);
    bool Status(std::string text);
    bool DataLine(std::string line);
    bool ClearData();
    bool Progress(long long position, long long maximum);
    bool RemainingTime(bool visible, std::string remaining, std::string corrected);

    // The gathered updates, in the order they are to be applied; empties
    // the batch.
    std::vector<DisplayUpdate> Take();

private:
    // Replaces a pending update of the same kind: only the last state shows.
    bool AddState(DisplayUpdate update);
    void DropOldestLines();

    std::mutex mutex_;
    std::vector<DisplayUpdate> pending_;
    std::size_t lines_ = 0;
};

} // namespace maroka
