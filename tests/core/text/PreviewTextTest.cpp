#include "core/text/PreviewText.h"
#include "core/text/Encoding.h"

#include <gtest/gtest.h>

using namespace maroka;

TEST(PreviewTextTest, Utf8IsRecognisedAndEverythingElseIsCp932)
{
    EXPECT_TRUE(text::IsValidUtf8("G01X1.(加工)"));
    EXPECT_TRUE(text::IsValidUtf8(""));
    EXPECT_FALSE(text::IsValidUtf8(*text::Utf8ToCp932("(加工)")));
    EXPECT_FALSE(text::IsValidUtf8("\xC0\xAF"));     // overlong "/"
    EXPECT_FALSE(text::IsValidUtf8("\xED\xA0\x80")); // a surrogate
    EXPECT_FALSE(text::IsValidUtf8("\xE5\x8A"));     // cut short

    const std::string cp932 = *text::Utf8ToCp932("O1(加工)\nM30\n");
    EXPECT_EQ(text::PreviewText(cp932, 100), "O1(加工)\nM30\n");
    EXPECT_EQ(text::PreviewText("O1(加工)\nM30\n", 100), "O1(加工)\nM30\n");
}

TEST(PreviewTextTest, ACharacterAcrossTheLimitIsLeftOut)
{
    // "加" is three bytes in UTF-8 and two in CP932; the limit falls inside it.
    const std::string utf8 = "ABC加工";
    EXPECT_EQ(text::PreviewText(utf8, 4), "ABC");
    EXPECT_EQ(text::PreviewText(utf8, 6), "ABC加");
    const std::string cp932 = *text::Utf8ToCp932("ABC加工");
    EXPECT_EQ(text::PreviewText(cp932, 4), "ABC");
    EXPECT_EQ(text::PreviewText(cp932, 5), "ABC加");
}
