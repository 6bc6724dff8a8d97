#include "core/prepare/RemainingTimeTracker.h"

#include "core/prepare/PrepareMessages.h"

#include <gtest/gtest.h>

namespace maroka::prepare {
namespace {

const std::string kMove = "G91G01X100.F100."; // one minute

TEST(RemainingTimeTracker, ShowsRemainingAndCorrectedTime)
{
    RemainingTimeTracker tracker;
    tracker.StartPass(5.0, 1000);

    // A line without motion shows nothing.
    EXPECT_FALSE(tracker.LineSent("(*SUB.NC.001)", 1010).shown);

    // Four minutes left, reached after two real minutes: twice as slow.
    RemainingTimeUpdate update = tracker.LineSent(kMove, 1120);
    ASSERT_TRUE(update.ok);
    EXPECT_TRUE(update.shown);
    EXPECT_EQ(tracker.RemainingText(), "0 時間 4 分");
    EXPECT_EQ(tracker.CorrectedText(), "0 時間 8 分");

    // Unchanged minutes keep the corrected text.
    tracker.LineSent("M08", 1150);
    EXPECT_EQ(tracker.CorrectedText(), "0 時間 8 分");

    tracker.LineSent(kMove, 1180);
    EXPECT_EQ(tracker.RemainingText(), "0 時間 3 分");
    EXPECT_EQ(tracker.CorrectedText(), "0 時間 3 分");

    tracker.LineSent(kMove, 1240);
    tracker.LineSent(kMove, 1300);
    EXPECT_EQ(tracker.RemainingText(), "0 時間 1 分");
    EXPECT_EQ(tracker.CorrectedText(), "  60 秒");
}

TEST(RemainingTimeTracker, StartedMinutesCountHoursSplitAndAnUnclosedCommentStopsTheSend)
{
    RemainingTimeTracker tracker;
    tracker.StartPass(130.0, 0);
    tracker.LineSent(kMove, 0);
    EXPECT_EQ(tracker.RemainingText(), "2 時間 9 分");
    EXPECT_EQ(tracker.CorrectedText(), "計算中"); // no real time has passed yet
    tracker.LineSent("G91G01X50.F100.", 60);
    EXPECT_EQ(tracker.RemainingText(), "2 時間 9 分"); // 128.5 minutes: a started minute counts

    tracker.StartPass(1.5, 0);
    tracker.LineSent(kMove, 10);
    EXPECT_EQ(tracker.RemainingText(), "0 時間 1 分");
    EXPECT_EQ(tracker.CorrectedText(), "計算できません");

    const RemainingTimeUpdate update = tracker.LineSent("G00X1.(OPEN", 11);
    EXPECT_FALSE(update.ok);
    ASSERT_EQ(update.messages.size(), 2u);
    EXPECT_EQ(update.messages[0].text, msg::kUnclosedComment);
    EXPECT_EQ(update.messages[1].text, msg::kRemainingCheckFailed);
}

} // namespace
} // namespace maroka::prepare
