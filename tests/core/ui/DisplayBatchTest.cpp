// What a window gets to draw after a burst of worker updates.

#include "core/ui/DisplayBatch.h"

#include <gtest/gtest.h>

namespace maroka {
namespace {

using Kind = DisplayUpdate::Kind;

std::vector<Kind> Kinds(const std::vector<DisplayUpdate>& updates)
{
    std::vector<Kind> kinds;
    for (const DisplayUpdate& update : updates)
        kinds.push_back(update.kind);
    return kinds;
}

TEST(DisplayBatch, OnlyTheLastStateOfEachTextIsDrawnAndLinesKeepTheirOrder)
{
    DisplayBatch batch;
    EXPECT_TRUE(batch.Status("one")) << "the first update asks for a redraw";
    EXPECT_FALSE(batch.DataLine("N1"));
    EXPECT_FALSE(batch.Progress(1, 10));
    EXPECT_FALSE(batch.Status("two"));
    EXPECT_FALSE(batch.DataLine("N2"));
    EXPECT_FALSE(batch.DataLine("N3"));
    EXPECT_FALSE(batch.Progress(3, 10));
    EXPECT_FALSE(batch.FileName(" O1.NC 送信中"));

    const std::vector<DisplayUpdate> drawn = batch.Take();
    ASSERT_EQ(Kinds(drawn), (std::vector<Kind>{Kind::DataLines, Kind::Status, Kind::Progress, Kind::FileName}));
    EXPECT_EQ(drawn[0].lines, (std::vector<std::string>{"N1", "N2", "N3"}));
    EXPECT_EQ(drawn[1].text, "two");
    EXPECT_EQ(drawn[2].position, 3);
    EXPECT_TRUE(batch.Take().empty());
    EXPECT_TRUE(batch.RemainingTime(true, "0 時間 3 分", " 計算中")) << "empty again after Take";
}

TEST(DisplayBatch, LinesBeforeAClearAreNeverDrawn)
{
    DisplayBatch batch;
    batch.DataLine("old 1");
    batch.Status("s");
    batch.DataLine("old 2");
    batch.ClearData();
    batch.DataLine("new");
    const std::vector<DisplayUpdate> drawn = batch.Take();
    ASSERT_EQ(Kinds(drawn), (std::vector<Kind>{Kind::Status, Kind::ClearData, Kind::DataLines}));
    EXPECT_EQ(drawn[2].lines, std::vector<std::string>{"new"});
}

TEST(DisplayBatch, AStalledWindowKeepsOnlyTheNewestLines)
{
    DisplayBatch batch;
    for (std::size_t n = 0; n < DisplayBatch::kMaxLines + 500; ++n)
        batch.DataLine(std::to_string(n));
    const std::vector<DisplayUpdate> drawn = batch.Take();
    ASSERT_EQ(drawn.size(), 1U);
    ASSERT_EQ(drawn[0].lines.size(), DisplayBatch::kMaxLines);
    EXPECT_EQ(drawn[0].lines.front(), "500");
    EXPECT_EQ(drawn[0].lines.back(), std::to_string(DisplayBatch::kMaxLines + 499));
}

} // namespace
} // namespace maroka
