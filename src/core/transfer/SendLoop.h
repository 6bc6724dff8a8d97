#pragma once

// Moves the bytes of one prepared file down the line: DC2, the wait for the
// machine's cycle start, paced chunks, the display of each sent line, the end
// texts and logs, resend passes, DC4 and the exit countdown.

#include "core/transfer/BlockStatus.h"
#include "core/transfer/ChunkReader.h"
#include "core/transfer/LineErrorCheck.h"
#include "core/transfer/TransferMode.h"
#include "core/transfer/WorkerEnvironment.h"

#include <chrono>
#include <string>

namespace maroka::transfer {

struct SendOutcome {
    bool transferError = false;
    bool sendCompleted = false;
};

class SendLoop {
public:
    // `mode` is Send or Server; `file` is open.
    SendLoop(WorkerEnvironment& env, ChunkReader& file, TransferMode mode, bool skipCycleStartWait);

    SendOutcome Run();

private:
    enum class PassEnd {
        Finished, // the pass ran to its end texts
        Return,   // leave the loop at once (stopped or closing)
    };

    PassEnd RunPass();
    // False when the wait did not end on a machine signal (stop, failure).
    bool WaitForMachine();
    void ChunkLoop(std::size_t chunkSize);
    bool WriteChunk(std::string_view chunk);
    void FailWrite(const char* message, std::string_view logWord, bool showUnlessError);
    void ShowProgress();
    void DisplayChunk(std::string_view chunk);
    void DisplayLine(std::string line);
    void ShowCycleTime();
    void ExitCountdown();
    void EndTransferOnUi();

    void ShowFileName(const std::string& suffix);
    bool NoConversion() const;

    WorkerEnvironment& env_;
    ChunkReader& file_;
    TransferMode mode_;
    bool skipCycleStartWait_;

    SendOutcome outcome_;
    LineErrorCheck lineErrors_;
    BlockStatus blockStatus_;
    std::string lineBuffer_;
    bool lineOverflow_ = false;
    std::string sourceFileName_;
    unsigned long long bytesSent_ = 0;
    int displayedLines_ = 0;
    long long lastProgressStep_ = -1;
    std::string sendIoMessage_;
    bool cycleStartTaken_ = false;
    std::chrono::milliseconds cycleStart_{0};
    std::string cycleTimeText_;
};

// "hh時間 nn分 ss秒" and "hhH nnM ssS" of a duration.
std::string FormatCycleTime(std::chrono::seconds duration);
std::string FormatLastCycleTime(std::chrono::seconds duration);

} // namespace maroka::transfer
