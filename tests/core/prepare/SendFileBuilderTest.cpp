#include "BuildFixture.h"

#include "core/prepare/PrepareMessages.h"
#include "core/text/Cp932.h"

#include <gtest/gtest.h>

namespace maroka::prepare {
namespace {

class SendFileBuild : public test::BuildFixture, public ::testing::Test {};

TEST_F(SendFileBuild, GeneratesHeadAndTailPercentInPlaceOfTheFilesOwn)
{
    EXPECT_EQ(Convert("%\r\nO1234\r\nG01X1.\r\n%\r\n"), "%\nO1234\nG01X1.\n%\n");

    settings.endOfBlock = "\r\n";
    settings.endOfBlockAfterTailPercent = false;
    EXPECT_EQ(Convert("G01X1.\n"), "%\r\nG01X1.\r\n%");

    settings.headPercent = false;
    settings.tailPercent = false;
    settings.endOfBlockAfterTailPercent = true;
    EXPECT_EQ(Convert("G01X1.\n"), "G01X1.\r\n\r\n");
}

TEST_F(SendFileBuild, PercentAtEachLabelAndPercentCommentChangeTheFraming)
{
    settings.percentAtEachLabel = true;
    EXPECT_EQ(Convert("%\nO1\nG00\n :2\nO3(X)\n%\n"), "%\nO1\nG00\n%\n :2\n%\nO3(X)\n%\n");

    settings.percentAtEachLabel = false;
    settings.percentComment = true;
    EXPECT_EQ(Convert("%\nO1\n%\n"), "%\nO1\n%\n");
    EXPECT_EQ(Convert("O1\n"), "O1\n");
}

TEST_F(SendFileBuild, BlockSkipDropsOnlyUnindentedSkippedBlocks)
{
    EXPECT_EQ(Convert("/M01\n /M01\nG00\n"), "%\n /M01\nG00\n%\n");
    settings.blockSkipCharacter = "";
    EXPECT_EQ(Convert("/M01\n\n"), "%\n/M01\n\n%\n");
    settings.blockSkipCharacter = "/";
    settings.blockSkip = false;
    EXPECT_EQ(Convert("/M01\n"), "%\n/M01\n%\n");
}

TEST_F(SendFileBuild, BlocksPassCommentStartIgnoreStringsAndConversionsInOrder)
{
    EXPECT_EQ(Convert("G01X1. 'ROUGH\n"), "%\nG01X1.\n%\n");

    settings.ignoreStrings = true;
    settings.ignorePieces = {"N10", "M08"};
    settings.convert = true;
    // Rows apply top down, each to the result of the one before; a row
    // whose new text holds its old text does not loop.
    settings.conversionRows = {{"M03", "M04"}, {"M04", "M04M08"}, {"N1", "N2"}};
    EXPECT_EQ(Convert("N10M03S500'M03\n"), "%\nM04M08S500\n%\n");
    // The ignore strings are removed before the table could make them.
    settings.conversionRows = {{"X", "M08"}};
    EXPECT_EQ(Convert("X1\n"), "%\nM081\n%\n");
}

TEST_F(SendFileBuild, CommentsGoOutUpperCasedAndTwoByteTextIsRefusedOrMarked)
{
    EXPECT_EQ(Convert("g00x1.(note)\n"), "%\nG00X1.(NOTE)\n%\n");
    // "(加工)" in CP932.
    EXPECT_EQ(Convert("G00(\x89\xC1\x8D\x48)\n"), "%\nG00(=== 2BYTES CODE ===)\n%\n");
    EXPECT_EQ(Convert("G00X1.\x89\xC1\n"), std::string("?G00X1.加") + msg::kTwoByteCodeSuffix);
    // Two-byte text after the comment start is cut off before the check.
    EXPECT_EQ(Convert("G01X1.'\x89\xC1\x8D\x48\n"), "%\nG01X1.\n%\n");

    const BuildResult result = BuildList({File("P.NC", "G00(NOTE\n")});
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.messages.at(0).text, msg::kUnclosedComment);
    EXPECT_EQ(result.messages.at(0).caption, MessageCaption::ProgramFileName);

    settings.twoByteCheck = false;
    EXPECT_EQ(Convert("G00X1.(\x89\xC1"
                      "ab)\x89\xC1\n"),
              "%\nG00X1.(\x89\xC1"
              "AB)\x89\xC1\n%\n");
}

TEST_F(SendFileBuild, DncModeDropsVariableWordsAndRefusesVariableBlocks)
{
    EXPECT_EQ(Convert("#1=10.\nG01X#1Y20.\n"), "%\n#1=10.\nG01X#1Y20.\n%\n");
    settings.dncMode = true;
    // A variable in a comment takes the "(" with it, as any address.
    EXPECT_EQ(Convert("G01X#1Y20.(#2)\n"), "%\nG01Y20.)\n%\n");
    EXPECT_EQ(Convert("#1=10.\n"), std::string("?#1=10.") + msg::kNotForDncSuffix);
}

TEST_F(SendFileBuild, LiteralEntriesAreWrittenUpperCasedWithoutConversion)
{
    settings.dncMode = true;
    settings.convert = true;
    settings.conversionRows = {{"M30", "M02"}};
    const std::string program = File("a.nc", "M30\n");
    ASSERT_TRUE(BuildList({" m30 ", "", "g01x#1", program}).ok);
    EXPECT_EQ(Output(), "%\nM30\n\nG01X#1\n(SOURCE_FILE=A.NC)\nM02\n%\n");
    EXPECT_TRUE(observer.questions.empty());

    ASSERT_TRUE(BuildList({program}).ok);
    EXPECT_EQ(Output(), "%\nM02\n%\n"); // one entry: no source line
}

TEST_F(SendFileBuild, AMissingFileAsksBeforeGoingOn)
{
    const std::string missing = (dir / "gone.nc").string();
    BuildResult result = BuildList({missing, "M30"});
    EXPECT_FALSE(result.ok);
    ASSERT_EQ(observer.questions.size(), 1u);
    EXPECT_EQ(observer.questions[0], text::ToUpper(missing) + msg::kNotFoundQuestion);

    observer.answer = true;
    result = BuildList({missing, "/M01"});
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(observer.questions.size(), 2u); // "/M01" is a block, not a path
    EXPECT_EQ(Output(), "%\n" + text::ToUpper(missing) + "\n/M01\n%\n");
}

TEST_F(SendFileBuild, OpensAnUpperCasedEntryByItsRealName)
{
    File("part.nc", "G00\n");
    ASSERT_TRUE(BuildList({(dir / "PART.NC").string(), "M30"}).ok);
    EXPECT_EQ(Output(), "%\n(SOURCE_FILE=PART.NC)\nG00\nM30\n%\n");
    EXPECT_EQ(observer.statuses.front(), "PART.NC" + std::string(msg::kReadingSuffix));
    EXPECT_EQ(observer.fileNames.front(), "PART.NC" + std::string(msg::kCreatingSuffix));
}

// Long lines are cut into blocks by the block reader's test, and blank lines
// come out as the block-by-block way writes them in the fast path's test.
TEST_F(SendFileBuild, ABlockThatGrowsPast2047BytesIsWrittenWhole)
{
    settings.convert = true;
    settings.conversionRows = {{"X", "XX"}};
    EXPECT_EQ(Convert(std::string(1500, 'X') + "\n"), "%\n" + std::string(3000, 'X') + "\n%\n");
}

TEST_F(SendFileBuild, G65IsRefusedInMemoryMode)
{
    EXPECT_EQ(Convert("G65[SUB.NC]X1.\n"), std::string("?G65[SUB.NC]X1.") + msg::kG65InMemorySuffix);
    // Inside a comment it is not a call.
    EXPECT_EQ(Convert("(G65[SUB.NC])\n"), "%\n(G65[SUB.NC])\n%\n");
}

TEST_F(SendFileBuild, OutputFailuresAreReported)
{
    const std::string program = File("P.NC", "G00\n");
    BuildResult result = builder.Build({program}, settings, (dir / "no" / "SENDFILE").string(), observer);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.messages.at(0).text, msg::kOutputOpenFailed);

    result = builder.Build({program}, settings, "/dev/full", observer);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.messages.at(0).text, msg::kWriteFailed);

    // Past the write buffer the failure shows while the blocks are written.
    std::string big;
    for (int i = 0; i < 40000; ++i)
        big += "G01X1.Y2.\n";
    result = builder.Build({File("BIG.NC", big)}, settings, "/dev/full", observer);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.messages.at(0).text, msg::kFileOutputError);
    EXPECT_EQ(result.messages.size(), 1u);
}

TEST_F(SendFileBuild, AnUnchangedSelectionIsReusedAndAnyChangeRebuilds)
{
    const std::string program = File("P.NC", "G00X1.\n");
    ASSERT_FALSE(BuildList({program}).reused);
    BuildResult again = BuildList({program});
    EXPECT_TRUE(again.ok);
    EXPECT_TRUE(again.reused);

    // Same size, new content: the program's time changes.
    maroka::test::WriteFileBytes(program, "G00X2.\n");
    std::filesystem::last_write_time(program, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5));
    again = BuildList({program});
    EXPECT_FALSE(again.reused);
    EXPECT_EQ(Output(), "%\nG00X2.\n%\n");
    EXPECT_TRUE(BuildList({program}).reused);

    settings.dncMode = true;
    EXPECT_FALSE(BuildList({program}).reused);

    builder.InvalidateStamp();
    EXPECT_FALSE(BuildList({program}).reused);

    EXPECT_FALSE(BuildList({program, "M30"}).reused);

    maroka::test::WriteFileBytes(OutputPath(), "stale\n");
    EXPECT_FALSE(BuildList({program, "M30"}).reused);
    EXPECT_EQ(Output(), "%\n(SOURCE_FILE=P.NC)\nG00X2.\nM30\n%\n");

    // A program edited just now is not trusted to look unchanged later.
    maroka::test::WriteFileBytes(program, "G00X3.\n");
    EXPECT_FALSE(BuildList({program}).reused);
    EXPECT_FALSE(BuildList({program}).reused);
}

TEST_F(SendFileBuild, EstimateSeesOnlyWrittenUpperCaseBlocks)
{
    // The moves go out and back so that each wrong reading gives its own
    // total: the skipped block estimated 4.5, the lower-case one read 1.5.
    ASSERT_TRUE(BuildList({File("P.NC", "/G01X500.F200.\ng01x200.f200.\nG01X100.F200.(G00X900.)\n")}).ok);
    EXPECT_DOUBLE_EQ(builder.Estimate().Total(), 0.5);
    EXPECT_TRUE(builder.Estimate().Valid());
    EXPECT_EQ(Output(), "%\nG01X200.F200.\nG01X100.F200.(G00X900.)\n%\n");
}

TEST(PrepareSendData, FillsTheMainWindowsStateOrCleansUp)
{
    maroka::test::TempDir dir;
    SendFileBuilder builder;
    test::RecordingObserver observer;
    settings::SessionSettings s;
    settings::ListSettings lists;
    PrepareRequest request;
    request.settings = &s;
    request.lists = &lists;
    request.sendMode = "DNC";
    request.preparedPath = (dir / "SENDFILE.ttyS0").string();

    PrepareResult result = builder.Prepare(request, observer);
    EXPECT_FALSE(result.ok);
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(result.messages[0].text, msg::kNoSendFile);
    EXPECT_EQ(result.messages[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(result.dncMode.has_value());

    maroka::test::WriteFileBytes(dir / "P.NC", "G01X100.F200.\n");
    std::vector<std::string> files = {(dir / "P.NC").string()};
    request.sendFiles = &files;
    result = builder.Prepare(request, observer);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.sendFilePath, request.preparedPath);
    EXPECT_EQ(result.dncMode, true);
    ASSERT_TRUE(result.estimate.has_value());
    EXPECT_DOUBLE_EQ(*result.estimate, 0.5);

    maroka::test::WriteFileBytes(dir / "P.NC", "G01X100.F200.(\n");
    result = builder.Prepare(request, observer);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.sendFilePath.empty());
    EXPECT_TRUE(result.discardSelection);
    EXPECT_FALSE(std::filesystem::exists(request.preparedPath));
}

} // namespace
} // namespace maroka::prepare
