#include "core/transfer/ReceiveLoop.h"
#include "core/transfer/ReceiveMessages.h"
#include "core/transfer/ReceivedFileRepair.h"

#include "core/transfer/ReceiveTestSupport.h"

#include <gtest/gtest.h>

using namespace maroka;
using namespace maroka::transfer;
using namespace std::chrono_literals;
using maroka::transfer::test::Count;
using maroka::transfer::test::Reception;

namespace {

std::vector<std::string> Numbered(int count)
{
    std::vector<std::string> lines;
    for (int n = 0; n < count; ++n)
        lines.push_back("N" + std::to_string(n) + "G01X" + std::to_string(n * 3) + ".5");
    return lines;
}

// `lines` with lines `from` to `to` replaced by `text` (numbered when empty).
std::vector<std::string> Spoiled(std::vector<std::string> lines, int from, int to, const std::string& text = "")
{
    for (int n = from; n <= to; ++n)
        lines[static_cast<std::size_t>(n)] = text.empty() ? "?" + std::to_string(n) : text;
    return lines;
}

} // namespace

TEST(ReceivedFileRepair, MergesTwoReceptionsWhereTheirErrorPositionsAllow)
{
    auto blanks = Numbered(20);
    blanks.back() += "   "; // trailing blanks go in any case
    const auto ten = Numbered(10);
    const auto sixty = Numbered(60);
    const std::vector<std::string> longer{"%", "N1G01X1.000", "N2", "M30", "%"};
    const std::vector<std::string> shorter{"%", "N1G01X1", "N2", "M30", "%"};
    const struct {
        const char* name;
        std::vector<std::string> first, second, firstErrors, secondErrors;
        int result;
        std::vector<std::string> merged; // both receptions afterwards, for a result of 0
    } cases[] = {
        {"characters lost early in the first and later in the second",
         Spoiled(blanks, 3, 3, "N3G01X"),
         Spoiled(blanks, 12, 12, "N12G0"),
         {"60"},
         {"200"},
         0,
         Numbered(20)},
        // The earlier error decides which reception is mended.
        {"the second mended", ten, Spoiled(ten, 5, 5, "N5"), {"40"}, {"10"}, 0, ten},
        {"no error in the first", ten, Spoiled(ten, 5, 5, "N5"), {}, {"10"}, 1, {}},
        {"a position that is no number", ten, Spoiled(ten, 5, 5, "N5"), {"0"}, {"10"}, 2, {}},
        {"errors at the same place", ten, Spoiled(ten, 5, 5, "N5"), {"40"}, {"40"}, 4, {}},
        // Resynchronisation looks fifteen lines ahead.
        {"fifteen garbled lines", Spoiled(sixty, 5, 19), sixty, {"100"}, {"900"}, 0, sixty},
        {"sixteen garbled lines", Spoiled(sixty, 5, 20), sixty, {"100"}, {"900"}, 13, {}},
        {"no common line in the second", {"A", "B", "C"}, {"A", "X", "Y"}, {"50"}, {"10"}, 15, {}},
        // A replacement that shortens the text is refused and changes nothing.
        {"a shortening mend of the first", longer, shorter, {"5"}, {"50"}, 14, {}},
        {"a shortening mend of the second", shorter, longer, {"50"}, {"5"}, 16, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RepairState state;
        state.firstLines = c.first;
        state.secondLines = c.second;
        state.firstErrorPositions = c.firstErrors;
        state.secondErrorPositions = c.secondErrors;
        std::vector<std::vector<std::string>> written;
        EXPECT_EQ(MergeReceptions(state,
                                  [&](const std::vector<std::string>& lines) {
                                      written.push_back(lines);
                                      return true;
                                  }),
                  c.result);
        EXPECT_EQ(state.repairFailed, c.result != 0);
        if (c.result != 0) {
            EXPECT_TRUE(written.empty());
            EXPECT_EQ(state.firstLines, c.first);
            EXPECT_EQ(state.secondLines, c.second);
            continue;
        }
        EXPECT_EQ(state.firstLines, c.merged);
        EXPECT_EQ(state.secondLines, c.merged);
        ASSERT_FALSE(written.empty());
        EXPECT_EQ(written.back(), c.merged);
        EXPECT_EQ(state.repairedLineCount, c.merged.size());
        EXPECT_EQ(state.repairedSize, JoinCrLf(c.merged).size());
    }
}

TEST(ReceivedFileRepair, TextLinesEndAtCrLfLfOrCr)
{
    EXPECT_EQ(SplitTextLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(SplitTextLines("").empty());

    RepairState state;
    RecordReceiveError(state, "N1", 10);
    state.receptionCount = 1;
    RecordReceiveError(state, "N2", 20);
    EXPECT_EQ(state.firstErrorPositions, std::vector<std::string>{"10"});
    EXPECT_EQ(state.secondErrorPositions, std::vector<std::string>{"20"});
    EXPECT_EQ(state.lastGoodLine, "N2");
    state.receptionCount = 2;
    RecordReceiveError(state, "N3", 30);
    EXPECT_TRUE(state.firstErrorPositions.empty());
    EXPECT_TRUE(state.secondErrorPositions.empty());
}

namespace {

// Receptions with LF line ends whose line reports a framing error where the
// machine lost a character; the front end answers the repair question.
struct RepairReception : Reception {
    RepairReception() { settings.receiveEndOfBlock = "LF"; }

    // Punches `lines` with the last character of line `damagedLine` left
    // out; the line reports the loss. The lines before the damage arrive
    // first, so the error falls into a later read.
    void Punch(const std::vector<std::string>& lines, std::size_t damagedLine)
    {
        std::string before = "%\n";
        for (std::size_t n = 0; n < damagedLine; ++n)
            before += lines[n] + "\n";
        const std::string damaged = lines[damagedLine].substr(0, lines[damagedLine].size() - 1);
        std::string after = damaged + "\n";
        for (std::size_t n = damagedLine + 1; n < lines.size(); ++n)
            after += lines[n] + "\n";
        injector->ExpectErrorsAt({before.size() + damaged.size() - 1});
        const std::string lastGood = "data:" + lines[damagedLine - 1];
        const int shownBefore = Count(ui.Events(), lastGood);
        pty.WriteMaster(before);
        ASSERT_TRUE(ui.PumpUntil([&] { return Count(ui.Events(), lastGood) > shownBefore; }, 5s));
        pty.WriteMaster(after + "%\n");
    }
};

struct RepairFixture : ::testing::Test, RepairReception {};

} // namespace

TEST(ReceiveRepair, ASecondReceptionMendsTheFirstUnlessItLostTheSamePlaces)
{
    const auto program = Numbered(30);
    for (const auto& [firstLoss, secondLoss] : {std::pair{8, 21}, {8, 8}}) {
        SCOPED_TRACE(secondLoss);
        RepairReception r;
        r.ui.answers.push_back(MessageAnswer::Retry);
        r.Start();
        r.Punch(program, firstLoss);
        ASSERT_TRUE(r.WaitForStatus(msg::kStatusReReceive));
        r.Punch(program, secondLoss);
        ASSERT_TRUE(r.Finish());
        const auto messages = r.ui.Messages();
        ASSERT_EQ(messages.size(), 2u);
        // The question names the last good line before the loss.
        EXPECT_TRUE(messages[0].starts_with(std::string(msg::kRepairLinePrefix) + program[7])) << messages[0];
        EXPECT_NE(messages[0].find(msg::kRepairAskRetry), std::string::npos);
        if (firstLoss == secondLoss) {
            EXPECT_NE(messages[1].find(msg::kRepairSamePlaces), std::string::npos) << messages[1];
            EXPECT_FALSE(r.context.repaired);
            continue;
        }
        std::string expected = "%\r\n";
        for (const auto& line : program)
            expected += line + "\r\n";
        EXPECT_EQ(r.File(), expected + "%\r\n");
        EXPECT_TRUE(r.context.repaired);
        EXPECT_TRUE(messages[1].starts_with(msg::kRepairSuccess)) << messages[1];
        // LF line ends were received: no "received bytes" line in the message.
        EXPECT_EQ(messages[1].find(msg::kRepairReceivedBytesPrefix), std::string::npos);
        EXPECT_EQ(r.ui.LastStatus(), msg::kStatusRepaired);
        EXPECT_EQ(r.log->Comm(),
                  (std::vector<std::string>{std::string(msg::kLogReceiveStart), std::string(msg::kLogReceiveFailed),
                                            std::string(msg::kLogReceiveStart), std::string(msg::kLogReceiveFailed),
                                            std::string(msg::kLogRepaired)}));
    }
}

TEST_F(RepairFixture, CancelKeepsTheDamagedReception)
{
    const auto program = Numbered(6);
    Start(); // no answer scripted: Cancel
    Punch(program, 3);
    ASSERT_TRUE(Finish());
    const std::string damaged = program[3].substr(0, program[3].size() - 1);
    EXPECT_NE(File().find("\n" + damaged + "\n" + program[4] + "\n"), std::string::npos) << File();
    EXPECT_EQ(ui.Messages().size(), 1u);
    EXPECT_TRUE(context.transferError);
    EXPECT_FALSE(flags.quitRequested);
}

TEST_F(RepairFixture, AContinuedReceptionIsNotOfferedARepair)
{
    settings.continuousReceive = true;
    const auto program = Numbered(6);
    ui.answers.push_back(MessageAnswer::Retry);
    Start();
    std::string first = "%\n";
    for (const auto& line : program)
        first += line + "\n";
    pty.WriteMaster(first + "%\n");
    ASSERT_TRUE(ui.PumpUntil([&] { return log->Comm().size() >= 2; }, 10s));
    Punch(program, 2);
    ASSERT_TRUE(Finish());
    const auto messages = ui.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(msg::kRepairContinued), std::string::npos) << messages[0];
    EXPECT_EQ(ui.answers.size(), 1u); // the question was never asked
}
