#include "core/text/Cp932.h"

#include <gtest/gtest.h>

using namespace maroka::text;

namespace {

// "ソ" is 0x83 0x5C and "表" is 0x95 0x5C: their trail bytes are "\" and the
// trail of "ア" (0x83 0x41) is "A", the classic traps of CP932 text.
const std::string kSo = "\x83\x5C";
const std::string kA = "\x83\x41";

} // namespace

TEST(Cp932, CasingChangesAsciiLettersButNeverTrailBytes)
{
    EXPECT_EQ(ToLower("G01X" + kA + "y"), "g01x" + kA + "y");
    EXPECT_EQ(ToUpper("g01x" + kA + "y"), "G01X" + kA + "Y");
    EXPECT_EQ(ToUpper("\x81\x61z"), "\x81\x61Z");
    // A lead byte at the very end has no trail byte to protect.
    EXPECT_EQ(ToUpper("a\x83"), "A\x83");
}

TEST(Cp932, CompareAndHashIgnoreAsciiCaseOnly)
{
    EXPECT_TRUE(EqualsIgnoreCase("abc" + kA, "ABC" + kA));
    EXPECT_TRUE(EqualsIgnoreCase("a\x83", "A\x83"));
    EXPECT_FALSE(EqualsIgnoreCase(kA, "\x83\x61"));
    EXPECT_FALSE(EqualsIgnoreCase("x" + kA, "X\x83\x61"));
    EXPECT_FALSE(EqualsIgnoreCase("ab", "abc"));
    EXPECT_EQ(HashIgnoreCase("key" + kSo + "z"), HashIgnoreCase("KEY" + kSo + "Z"));
    EXPECT_EQ(HashIgnoreCase("a\x83"), HashIgnoreCase("A\x83"));
}

TEST(Cp932, FindAndCutNeverSplitACharacter)
{
    EXPECT_EQ(FindAtCharBoundary(kSo + "\\", "\\"), 2u);
    EXPECT_EQ(FindAtCharBoundary(kSo, "\\"), std::string::npos);
    EXPECT_EQ(FindAtCharBoundary("X1" + kA + "A", "A", 0), 4u);
    EXPECT_EQ(FindAtCharBoundary("abcabc", "c", 3), 5u);
    EXPECT_EQ(CutAtCharBoundary("ab" + kSo, 3), "ab");
    EXPECT_EQ(CutAtCharBoundary("ab" + kSo, 4), "ab" + kSo);
    EXPECT_EQ(CutAtCharBoundary("abcdef", 4), "abcd");
    EXPECT_EQ(CutAtCharBoundary("", 0), "");
}

TEST(Cp932, FormatThousandsGroupsDigitsLeftOfThePoint)
{
    EXPECT_EQ(FormatThousands("1234567"), "1,234,567");
    EXPECT_EQ(FormatThousands("123"), "123");
    EXPECT_EQ(FormatThousands("1234"), "1,234");
    EXPECT_EQ(FormatThousands("123456"), "123,456");
    EXPECT_EQ(FormatThousands("12345.678"), "12,345.678");
    EXPECT_EQ(FormatThousands(""), "");
}
