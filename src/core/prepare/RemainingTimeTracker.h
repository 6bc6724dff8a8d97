#pragma once

// The remaining machining time during a DNC send: the sent lines run through
// the estimate again, and what is left of the prepared program's total is
// shown, together with a time corrected by the pace at which the estimated
// minutes actually pass.
//
// Use: StartPass at the start of every pass of the send, LineSent for every
// display line (CP932) after it went out; when an update says `shown`, show
// the panel with RemainingText() and CorrectedText().

#include "core/prepare/MachiningEstimate.h"
#include "core/prepare/PrepareMessage.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::prepare {

struct RemainingTimeUpdate {
    bool ok = true;                       // false: the send must stop with a transfer error
    bool shown = false;                   // the panel is to be shown with the current texts
    std::vector<PrepareMessage> messages; // to show, in order
};

class RemainingTimeTracker {
public:
    // `estimateTotal` is the prepared program's estimate in minutes; `now`
    // is in seconds since the epoch.
    void StartPass(double estimateTotal, std::int64_t now);
    RemainingTimeUpdate LineSent(std::string_view line, std::int64_t now);

    // Value labels of the panel: remaining, and remaining after correction.
    const std::string& RemainingText() const { return remainingText_; }
    const std::string& CorrectedText() const { return correctedText_; }

    const MachiningEstimate& Estimate() const { return estimate_; }

private:
    MachiningEstimate estimate_;
    double estimateTotal_ = 0;
    double remaining_ = 0;
    double rate_ = 0;
    double corrected_ = 0;
    std::string lastMinutesText_;
    std::int64_t lastChange_ = 0;
    std::string remainingText_;
    std::string correctedText_;
};

} // namespace maroka::prepare
