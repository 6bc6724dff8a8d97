#include "core/prepare/RemainingTimeTracker.h"

#include "core/prepare/PrepareMessages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace maroka::prepare {

namespace {

struct HoursMinutes {
    std::int32_t hours = 0;
    std::int32_t minutes = 0;
};

// A started minute counts as a whole one.
HoursMinutes Split(double minutes)
{
    double whole;
    if (std::modf(minutes, &whole) > 0)
        minutes += 1;
    HoursMinutes hm;
    hm.hours = std::max<std::int32_t>(0, static_cast<std::int32_t>(minutes / 60));
    hm.minutes = std::max<std::int32_t>(0, static_cast<std::int32_t>(std::fmod(minutes, 60)));
    return hm;
}

std::string HoursMinutesText(const HoursMinutes& hm)
{
    return std::to_string(hm.hours) + msg::kHoursInfix + std::to_string(hm.minutes) + msg::kMinutesSuffix;
}

} // namespace

void RemainingTimeTracker::StartPass(double estimateTotal, std::int64_t now)
{
    estimate_.Reset();
    estimateTotal_ = estimateTotal;
    remaining_ = estimateTotal;
    lastMinutesText_ = std::to_string(static_cast<std::int32_t>(std::fmod(estimateTotal, 60)));
    lastChange_ = now;
}

RemainingTimeUpdate RemainingTimeTracker::LineSent(std::string_view line, std::int64_t now)
{
    RemainingTimeUpdate update;
    if (!estimate_.EstimateBlock(line)) {
        update.ok = false;
        update.messages.push_back({msg::kUnclosedComment, MessageIcon::Error, MessageCaption::ProgramFileName});
        update.messages.push_back(StopMessage(msg::kRemainingCheckFailed));
        return update;
    }
    const double done = estimate_.Total();
    if (done == 0)
        return update;
    remaining_ = estimateTotal_ - done;
    if (remaining_ == 0)
        return update;
    const HoursMinutes left = Split(remaining_);
    remainingText_ = HoursMinutesText(left);
    const std::string minutesText = std::to_string(left.minutes);
    if (left.hours == 0 && left.minutes <= 1) {
        if (rate_ == 0) {
            correctedText_ = msg::kCannotCompute;
        } else {
            char seconds[64];
            std::snprintf(seconds, sizeof seconds, "%4.f", (estimateTotal_ - done) * 60 * rate_);
            correctedText_ = std::string(seconds) + msg::kSecondsSuffix;
        }
    } else if (minutesText != lastMinutesText_) {
        // The real minutes the last estimated minute took.
        rate_ = static_cast<double>(now - lastChange_) / 60.0;
        corrected_ = (estimateTotal_ - done) * rate_;
        const HoursMinutes hm = Split(corrected_);
        correctedText_ = hm.hours == 0 && hm.minutes == 0 ? std::string(msg::kComputing) : HoursMinutesText(hm);
        lastChange_ = now;
        lastMinutesText_ = minutesText;
    }
    update.shown = true;
    return update;
}

} // namespace maroka::prepare
