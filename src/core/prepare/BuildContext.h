#pragma once

// The state one build shares between the send file's own blocks and the
// subprogram expansions it makes.

#include "core/prepare/BlockSettings.h"
#include "core/prepare/BlockWriter.h"
#include "core/prepare/BuildObserver.h"
#include "core/prepare/EstimateQueue.h"
#include "core/prepare/LabelList.h"
#include "core/prepare/PrepareMessage.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::prepare {

struct BuildContext {
    const BlockSettings& settings;
    BlockWriter& output;
    LabelList& labels;
    EstimateQueue& estimate; // the blocks written, when the estimate is on
    BuildObserver& observer;
    std::vector<PrepareMessage>& messages;
    // Every program file read, subprograms included, for the reuse check.
    std::vector<std::string>& filesRead;
    // The folder of the list file being read, with its trailing "/".
    std::string listFolder;

    void Fail(std::string text) { messages.push_back(StopMessage(std::move(text))); }
    void FailUnclosedComment();
    // Block text (CP932) + suffix, as a stop message.
    void FailWithBlock(std::string_view block, const char* suffix);

    // Upper-cases the block, writes it with the end of block; on failure
    // adds "ファイル出力エラー".
    bool WriteBlock(std::string& block);
    // The same for a block known to hold no lower-case letter.
    bool WriteUpperCased(std::string_view block)
    {
        if (output.WriteLine(block, settings.endOfBlock))
            return true;
        FailOutput();
        return false;
    }
    void FailOutput();
    bool WriteLabelPercent();
};

// Calls `observer.SetProgress` only when the position moved on by a visible
// step, so a large file does not flood the front end.
class ProgressThrottle {
public:
    ProgressThrottle(BuildObserver& observer, std::uint64_t maximum);
    void Update(std::uint64_t position)
    {
        if (position >= next_ || position >= maximum_)
            Report(position);
    }

private:
    void Report(std::uint64_t position);

    BuildObserver& observer_;
    std::uint64_t maximum_;
    std::uint64_t step_;
    std::uint64_t next_;
};

} // namespace maroka::prepare
