#include "core/prepare/BlockOperations.h"
#include "core/prepare/BlockSettings.h"
#include "core/prepare/PrepareMessages.h"

#include <gtest/gtest.h>

#include <optional>

namespace maroka::prepare {
namespace {

// "表" is 0x95 0x5C: its second byte is the ASCII backslash. "ソ" (0x83 0x5C)
// likewise; "ア" is 0x83 0x41, whose second byte is "A".
const std::string kHyo = "\x95\x5C";
const std::string kKatakanaA = "\x83\x41";

TEST(BlockOperations, ReplaceAllNeverRescansItsReplacementNorMatchesASecondByte)
{
    struct Case {
        std::string block;
        const char* find;
        const char* replacement;
        bool replaced;
        std::string result;
    };
    const Case cases[] = {
        {"M03S500M03", "M03", "M03M08", true, "M03M08S500M03M08"},
        {"AAAA", "AA", "A", true, "AA"}, // occurrences do not overlap
        {"G01X1.", "", "X", false, "G01X1."},
        {"G01X1.", "M03", "M04", false, "G01X1."},
        {kKatakanaA + "A", "A", "B", true, kKatakanaA + "B"},
    };
    for (Case c : cases) {
        EXPECT_EQ(ReplaceAll(c.block, c.find, c.replacement), c.replaced) << c.result;
        EXPECT_EQ(c.block, c.result);
    }
    const std::string path = "C:" + kHyo + "X";
    EXPECT_EQ(FindText(path, "\\"), std::string::npos);
    EXPECT_FALSE(AtCharBoundary(path, 3));
    EXPECT_TRUE(AtCharBoundary(path, 4));
}

TEST(BlockOperations, BlanksAndTheCommentStartAreCutButNeverASplitCharacter)
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

    block = "G01X1. \t'ROUGH";
    CutCommentStart(block, "'");
    EXPECT_EQ(block, "G01X1.");
    CutCommentStart(block, "");
    EXPECT_EQ(block, "G01X1.");

    block = "g01x1.(" + kKatakanaA + ")" + "\x83\x61";
    UpperCaseInPlace(block);
    EXPECT_EQ(block, "G01X1.(" + kKatakanaA + ")" + "\x83\x61");
}

TEST(BlockOperations, CommentPassLowerCasesCommentsAndMarksTwoByteOnes)
{
    struct Case {
        std::string block;
        bool twoByteCheck;
        std::optional<std::string> result; // none: refused
    };
    const std::string twoByte = "G00(" + kKatakanaA + "XY)Z1.";
    const Case cases[] = {
        {"G00X1.(NOTE A)Y2.(B)", true, "G00X1.(note a)Y2.(b)"},
        {twoByte, true, "G00" + std::string(msg::kTwoByteCommentMarker) + ")Z1."},
        {twoByte, false, "G00(" + kKatakanaA + "xy)Z1."}, // the "A" inside ア is left alone
        {"G00(OPEN", true, std::nullopt},
        {"G00)(", true, std::nullopt},
    };
    for (Case c : cases) {
        SCOPED_TRACE(c.block);
        // The block as the pass left it, none when it refused the block.
        EXPECT_EQ(CommentPass(c.block, c.twoByteCheck) ? std::optional(c.block) : std::nullopt, c.result);
    }
}

TEST(BlockOperations, DncCheckRemovesVariableWordsAndRefusesVariableBlocks)
{
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"G01X#1Y20.", "G01Y20."},
        {"G01X-#1Y20.", "G01Y20."},
        {"G01X#1+#2-3.Y#3Z5.", "G01Z5."},
        {"#1=10.", std::nullopt},
        // Signs that reach the start: the walk stops at the start and the
        // block is refused instead of reading before it.
        {"--#1", std::nullopt},
        // Nine signs: the walk goes back over eight only.
        {"X---------#1Y2.", "XY2."},
    };
    for (auto [block, result] : cases) {
        SCOPED_TRACE(block);
        EXPECT_EQ(DncCheck(block) ? std::optional(block) : std::nullopt, result);
    }
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
