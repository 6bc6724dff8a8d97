#include "core/transfer/ReceiveLoop.h"
#include "core/transfer/ReceiveMessages.h"
#include "core/transfer/ReceivedFileRepair.h"

#include "core/serial/SerialTestSupport.h"
#include "core/transfer/ReceiveTestSupport.h"
#include "support/PtyPair.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace maroka;
using namespace maroka::transfer;
using namespace std::chrono_literals;
using maroka::test::PtyPair;
using maroka::test::RecordingUserInterface;
using maroka::test::TempDir;
using maroka::transfer::test::LineErrorInjector;
using maroka::transfer::test::MemoryLog;
using maroka::transfer::test::RecordingSteps;

namespace {

std::vector<std::string> Numbered(int count)
{
    std::vector<std::string> lines;
    for (int n = 0; n < count; ++n)
        lines.push_back("N" + std::to_string(n) + "G01X" + std::to_string(n * 3) + ".5");
    return lines;
}

// Merges with a writer that keeps what would go into the file.
struct MergeFixture : ::testing::Test {
    int Merge()
    {
        return MergeReceptions(state, [this](const std::vector<std::string>& lines) {
            written.push_back(lines);
            return true;
        });
    }
    RepairState state;
    std::vector<std::vector<std::string>> written;
};

} // namespace

TEST_F(MergeFixture, TwoDamagedReceptionsGiveTheIntactProgram)
{
    std::vector<std::string> original = Numbered(20);
    original.back() += "   "; // trailing blanks go in any case
    state.firstLines = original;
    state.firstLines[3] = "N3G01X"; // characters lost early in the first reception
    state.secondLines = original;
    state.secondLines[12] = "N12G0"; // ... and later in the second
    state.firstErrorPositions = {"60"};
    state.secondErrorPositions = {"200"};

    EXPECT_EQ(Merge(), 0);
    EXPECT_FALSE(state.repairFailed);
    original.back() = "N19G01X57.5";
    EXPECT_EQ(state.firstLines, original);
    EXPECT_EQ(state.secondLines, original);
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.back(), original);
    EXPECT_EQ(state.repairedLineCount, 20u);
    EXPECT_EQ(state.repairedSize, JoinCrLf(original).size());
    EXPECT_EQ(JoinCrLf({"A", "B"}), "A\r\nB\r\n");
}

TEST_F(MergeFixture, PositionsDecideWhichReceptionIsMendedAndBadOnesFail)
{
    const auto original = Numbered(10);
    const auto reset = [&](std::vector<std::string> first, std::vector<std::string> second) {
        state = {};
        state.firstLines = original;
        state.secondLines = original;
        state.secondLines[5] = "N5";
        state.firstErrorPositions = std::move(first);
        state.secondErrorPositions = std::move(second);
    };
    reset({}, {"10"});
    EXPECT_EQ(Merge(), 1);
    reset({"0"}, {"10"});
    EXPECT_EQ(Merge(), 2);
    reset({"40"}, {"40"});
    EXPECT_EQ(Merge(), 4);
    EXPECT_TRUE(state.repairFailed);
    EXPECT_TRUE(written.empty());

    // The earlier error decides which reception is mended: here the second.
    reset({"40"}, {"10"});
    EXPECT_EQ(Merge(), 0);
    EXPECT_EQ(state.secondLines, original);
}

TEST_F(MergeFixture, ResynchronisationLooksFifteenLinesAhead)
{
    const auto original = Numbered(60);
    for (const int spoiled : {14, 15}) {
        state = {};
        state.firstLines = original;
        // Lines 5 and the next `spoiled` lines are garbage in the first reception.
        for (int n = 5; n <= 5 + spoiled; ++n)
            state.firstLines[static_cast<std::size_t>(n)] = "?" + std::to_string(n);
        state.secondLines = original;
        state.firstErrorPositions = {"100"};
        state.secondErrorPositions = {"900"};
        const int result = Merge();
        if (spoiled == 14) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(state.firstLines, original);
        } else {
            EXPECT_EQ(result, 13);
        }
    }
    // The same with the damage in the second reception.
    state = {};
    state.firstLines = {"A", "B", "C"};
    state.secondLines = {"A", "X", "Y"};
    state.firstErrorPositions = {"50"};
    state.secondErrorPositions = {"10"};
    EXPECT_EQ(Merge(), 15);
}

TEST_F(MergeFixture, AShorteningReplacementIsRefusedAndChangesNothing)
{
    state.firstLines = {"%", "N1G01X1.000", "N2", "M30", "%"};
    state.secondLines = {"%", "N1G01X1", "N2", "M30", "%"};
    state.firstErrorPositions = {"5"};
    state.secondErrorPositions = {"50"};
    const auto first = state.firstLines;
    EXPECT_EQ(Merge(), 14);
    EXPECT_EQ(state.firstLines, first);
    EXPECT_TRUE(written.empty());

    std::swap(state.firstLines, state.secondLines);
    state.firstErrorPositions = {"50"};
    state.secondErrorPositions = {"5"};
    EXPECT_EQ(Merge(), 16);
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

// Receptions over a pty whose line reports a framing error where the test
// spoils a character, and a front end that answers the repair question.
struct RepairFixture : ::testing::Test {
    RepairFixture()
    {
        auto opened = maroka::serial::test::OpenLine(pty, maroka::serial::test::AscLine());
        injector = std::make_shared<LineErrorInjector>(std::shared_ptr<serial::SerialLine>(std::move(opened)),
                                                       std::set<std::size_t>{});
        settings.receiveEndSeconds = "0";
        settings.receiveEndOfBlock = "LF";
        context.transferFilePath = (dir / "RECV.NC").string();
    }

    void Start()
    {
        env = std::make_unique<WorkerEnvironment>(WorkerEnvironment{injector, ui, log, flags, steps});
        env->settings = settings;
        env->versionText = " Maroka ver 0.565";
        env->displayName = "RECV.NC";
        worker = std::thread([this] {
            RunReceive(*env, context);
            done = true;
        });
    }

    // Punches `lines` (LF ends) with the character at `dropAt` of line
    // `damagedLine` left out; the line reports the loss. The lines before
    // the damage arrive first, so the error falls into a later read.
    void Punch(const std::vector<std::string>& lines, std::size_t damagedLine)
    {
        std::string before = "%\n";
        for (std::size_t n = 0; n < damagedLine; ++n)
            before += lines[n] + "\n";
        std::string after;
        std::string damaged = lines[damagedLine];
        damaged.pop_back();
        after += damaged + "\n";
        for (std::size_t n = damagedLine + 1; n < lines.size(); ++n)
            after += lines[n] + "\n";
        after += "%\n";
        injector->ExpectErrorsAt({before.size() + damaged.size() - 1});
        const std::string lastGood = "data:" + lines[damagedLine - 1];
        const auto shown = [&] {
            const auto events = ui.Events();
            return std::count(events.begin(), events.end(), lastGood);
        };
        const auto shownBefore = shown();
        pty.WriteMaster(before);
        ASSERT_TRUE(ui.PumpUntil([&] { return shown() > shownBefore; }, 5s));
        pty.WriteMaster(after);
    }

    bool Finish()
    {
        const bool finished = ui.PumpUntil([this] { return done.load(); }, 15s);
        if (!finished) {
            flags.RequestStop();
            injector->Interrupt();
            ui.PumpUntil([this] { return done.load(); }, 5s);
        }
        worker.join();
        return finished;
    }

    bool WaitForStatus(const std::string& status)
    {
        return ui.PumpUntil([&] { return ui.Saw("status:" + status); }, 10s);
    }

    std::string File() const { return maroka::test::ReadFileBytes(dir / "RECV.NC"); }

    TempDir dir;
    PtyPair pty;
    std::shared_ptr<LineErrorInjector> injector;
    RecordingUserInterface ui;
    std::shared_ptr<MemoryLog> log = std::make_shared<MemoryLog>();
    TransferFlags flags;
    RecordingSteps steps;
    settings::SessionSettings settings;
    ReceiveContext context;
    std::unique_ptr<WorkerEnvironment> env;
    std::thread worker;
    std::atomic<bool> done{false};
};

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

} // namespace

TEST_F(RepairFixture, ASecondReceptionMendsTheFirst)
{
    const auto program = Numbered(30);
    ui.answers.push_back(MessageAnswer::Retry);
    Start();
    Punch(program, 8);
    ASSERT_TRUE(WaitForStatus(msg::kStatusReReceive));
    Punch(program, 21);
    ASSERT_TRUE(Finish());

    std::string expected = "%\r\n";
    for (const auto& line : program)
        expected += line + "\r\n";
    EXPECT_EQ(File(), expected + "%\r\n");
    EXPECT_TRUE(context.repaired);
    const auto messages = ui.Messages();
    ASSERT_EQ(messages.size(), 2u);
    // The question names the last good line before the loss.
    EXPECT_TRUE(StartsWith(messages[0], std::string(msg::kRepairLinePrefix) + program[7])) << messages[0];
    EXPECT_NE(messages[0].find(msg::kRepairAskRetry), std::string::npos);
    EXPECT_TRUE(StartsWith(messages[1], msg::kRepairSuccess));
    // LF line ends were received: no "received bytes" line in the message.
    EXPECT_EQ(messages[1].find(msg::kRepairReceivedBytesPrefix), std::string::npos);
    EXPECT_EQ(ui.LastStatus(), msg::kStatusRepaired);
    EXPECT_EQ(log->Comm(),
              (std::vector<std::string>{std::string(msg::kLogReceiveStart), std::string(msg::kLogReceiveFailed),
                                        std::string(msg::kLogReceiveStart), std::string(msg::kLogReceiveFailed),
                                        std::string(msg::kLogRepaired)}));
}

TEST_F(RepairFixture, LossesAtTheSamePlacesCannotBeRepaired)
{
    const auto program = Numbered(12);
    ui.answers.push_back(MessageAnswer::Retry);
    Start();
    Punch(program, 4);
    ASSERT_TRUE(WaitForStatus(msg::kStatusReReceive));
    Punch(program, 4);
    ASSERT_TRUE(Finish());
    const auto messages = ui.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[1].find(msg::kRepairSamePlaces), std::string::npos) << messages[1];
    EXPECT_FALSE(context.repaired);
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
