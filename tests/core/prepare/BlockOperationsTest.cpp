#include "core/prepare/BlockOperations.h"
#include "core/prepare/BlockSettings.h"
#include "core/prepare/PrepareMessages.h"

#include <gtest/gtest.h>

namespace maroka::prepare {
namespace {

// "表" is 0x95 0x5C: its second byte is the ASCII backslash. "ソ" (0x83 0x5C)
// likewise; "ア" is 0x83 0x41, whose second byte is "A".
const std::string kHyo = "\x95\x5C";
const std::string kKatakanaA = "\x83\x41";

TEST(BlockOperations, ReplaceAllNeverRescansItsReplacement)
{
    std::string block = "M03S500M03";
    EXPECT_TRUE(ReplaceAll(block, "M03", "M03M08"));
    EXPECT_EQ(block, "M03M08S500M03M08");

    block = "AAAA";
    ReplaceAll(block, "AA", "A");
    EXPECT_EQ(block, "AA"); // occurrences do not overlap

    block = "G01X1.";
    EXPECT_FALSE(ReplaceAll(block, "", "X"));
    EXPECT_FALSE(ReplaceAll(block, "M03", "M04"));
    EXPECT_EQ(block, "G01X1.");
}

TEST(BlockOperations, FindingTextNeverMatchesTheSecondByteOfACharacter)
{
    const std::string block = kKatakanaA + "A";
    EXPECT_EQ(FindText(block, "A"), 2u);
    std::string copy = block;
    ReplaceAll(copy, "A", "B");
    EXPECT_EQ(copy, kKatakanaA + "B");

    const std::string path = "C:" + kHyo + "X";
    EXPECT_EQ(FindText(path, "\\"), std::string::npos);
    EXPECT_FALSE(AtCharBoundary(path, 3));
    EXPECT_TRUE(AtCharBoundary(path, 4));
}

TEST(BlockOperations, StripsBlanksAndFullWidthSpacesButNotASplitCharacter)
{
    std::string block = "G01X1. \t\x81\x40 \r\n";
    StripTrailingBlanks(block);
    EXPECT_EQ(block, "G01X1.");

    // 0x81 0x81 0x40: the pair 81 40 at the end is not a character here.
    block = "A\x81\x81\x40";
    StripTrailingBlanks(block);
    EXPECT_EQ(block, "A\x81\x81\x40");

    EXPECT_EQ(Trim("\x01 \tG01 \x1F"), "G01");
    EXPECT_EQ(Trim("   "), "");
}

TEST(BlockOperations, CommentStartCutsAndStripsTheBlanksBeforeIt)
{
    std::string block = "G01X1. \t'ROUGH";
    CutCommentStart(block, "'");
    EXPECT_EQ(block, "G01X1.");

    block = "G01X1.";
    CutCommentStart(block, "");
    EXPECT_EQ(block, "G01X1.");
}

TEST(BlockOperations, CommentPassLowerCasesCommentsAndMarksTwoByteOnes)
{
    std::string block = "G00X1.(NOTE A)Y2.(B)";
    ASSERT_TRUE(CommentPass(block, true));
    EXPECT_EQ(block, "G00X1.(note a)Y2.(b)");

    block = "G00(" + kKatakanaA + "XY)Z1.";
    ASSERT_TRUE(CommentPass(block, true));
    EXPECT_EQ(block, "G00" + std::string(messages::kTwoByteCommentMarker) + ")Z1.");
    block = "G00(" + kKatakanaA + "XY)Z1.";
    EXPECT_TRUE(CommentPass(block, false));
    EXPECT_EQ(block, "G00(" + kKatakanaA + "xy)Z1."); // the "A" inside ア is left alone

    block = "G00(OPEN";
    EXPECT_FALSE(CommentPass(block, true));
    block = "G00)(";
    EXPECT_FALSE(CommentPass(block, true));
}

TEST(BlockOperations, DncCheckRemovesVariableWordsAndRefusesVariableBlocks)
{
    std::string block = "G01X#1Y20.";
    ASSERT_TRUE(DncCheck(block));
    EXPECT_EQ(block, "G01Y20.");

    block = "G01X-#1Y20.";
    ASSERT_TRUE(DncCheck(block));
    EXPECT_EQ(block, "G01Y20.");

    block = "G01X#1+#2-3.Y#3Z5.";
    ASSERT_TRUE(DncCheck(block));
    EXPECT_EQ(block, "G01Z5.");

    block = "#1=10.";
    EXPECT_FALSE(DncCheck(block));

    // Signs that reach the start: the walk stops at the start and the block
    // is refused instead of reading before it.
    block = "--#1";
    EXPECT_FALSE(DncCheck(block));

    // Nine signs: the walk goes back over eight only.
    block = "X---------#1Y2.";
    ASSERT_TRUE(DncCheck(block));
    EXPECT_EQ(block, "XY2.");
}

TEST(BlockOperations, CaseChangesLeaveTwoByteCharactersAlone)
{
    std::string block = "g01x1.(" + kKatakanaA + ")" + "\x83\x61";
    UpperCaseInPlace(block);
    EXPECT_EQ(block, "G01X1.(" + kKatakanaA + ")" + "\x83\x61");
}

TEST(BlockSettings, NcTextsAreConvertedAndEmptyEntriesDropped)
{
    settings::SessionSettings s;
    settings::ListSettings lists;
    s.ignoreStringsEnabled = true;
    s.ignoreStrings = "N10;;M08；M09";
    s.ignoreStringSeparator = ";；";
    s.convertOutputCharacters = true;
    lists.conversionPairs[0] = {"", "X"};
    lists.conversionPairs[3] = {"ア", "イ"};
    s.subprogramIgnoreCodesEnabled = true;
    lists.subprogramIgnoreCodes = {"", "M05"};
    s.sendEndOfBlock = "LF+CR+CR";

    const BlockSettings b = MakeBlockSettings(s, lists, "DNC");
    EXPECT_TRUE(b.dncMode);
    EXPECT_EQ(b.ignorePieces, (std::vector<std::string>{"N10", "M08", "M09"}));
    ASSERT_EQ(b.conversionRows.size(), 1u);
    EXPECT_EQ(b.conversionRows[0].oldText, "\x83\x41");
    EXPECT_EQ(b.conversionRows[0].newText, "\x83\x43");
    EXPECT_EQ(b.ignoreCodes, (std::vector<std::string>{"M05"}));
    EXPECT_EQ(b.endOfBlock, "\n\r\r");
    EXPECT_TRUE(b.unconvertible.empty());

    EXPECT_FALSE(MakeBlockSettings(s, lists, "MEM").dncMode);
    EXPECT_NE(MakeBlockSettings(s, lists, "MEM").Fingerprint(), b.Fingerprint());
    EXPECT_EQ(EndOfBlockBytes("CR+LF"), "\r\n");
    EXPECT_EQ(EndOfBlockBytes("cr+lf"), "\n");

    s.commentStartCharacter = "😀";
    EXPECT_EQ(MakeBlockSettings(s, lists, "MEM").unconvertible.size(), 1u);
}

} // namespace
} // namespace maroka::prepare
