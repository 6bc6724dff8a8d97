#include "core/text/Encoding.h"
#include "core/text/PreviewText.h"

#include <gtest/gtest.h>

using namespace maroka::text;

TEST(Encoding, RoundTripsJapaneseTextThroughCp932)
{
    const std::string utf8 = "送信ファイル ソ表 ＳＭＴＰ O1234";
    const auto cp932 = Utf8ToCp932(utf8);
    ASSERT_TRUE(cp932);
    EXPECT_EQ(cp932->substr(0, 4), "\x91\x97\x90\x4D");            // 送信
    EXPECT_NE(cp932->find("\x83\x5C\x95\x5C"), std::string::npos); // ソ表
    EXPECT_EQ(Cp932ToUtf8(*cp932), utf8);
    EXPECT_EQ(Utf8ToCp932(""), std::string());
    EXPECT_EQ(Cp932ToUtf8(""), std::string());
}

TEST(Encoding, RefusesWhatCannotBeConverted)
{
    EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80")); // an emoji has no CP932 form
    EXPECT_FALSE(Cp932ToUtf8("\x83"));             // a lone lead byte
    const std::string lossy = Utf8ToCp932Lossy("a\xF0\x9F\x98\x80z");
    EXPECT_EQ(lossy.front(), 'a');
    EXPECT_EQ(lossy.back(), 'z') << "the text after the emoji stays";
    EXPECT_EQ(Cp932ToUtf8Lossy("A\x83"), "A\xEF\xBF\xBD");
}

TEST(Encoding, TextThatGrowsThreefoldConvertsWhole)
{
    // A half-width katakana is one byte in CP932 and three in UTF-8.
    std::string katakana;
    std::string expected;
    std::string broken;
    std::string replaced;
    for (int i = 0; i < 3000; ++i) {
        katakana += "\xB1";
        expected += "\xEF\xBD\xB1";
        broken += "\x83 ";
        replaced += "\xEF\xBF\xBD ";
    }
    EXPECT_EQ(Cp932ToUtf8(katakana), expected);
    EXPECT_EQ(Utf8ToCp932(expected), katakana);
    EXPECT_EQ(Cp932ToUtf8Lossy(broken), replaced);
}

TEST(PreviewText, Utf8IsRecognisedAndEverythingElseIsCp932)
{
    EXPECT_TRUE(IsValidUtf8("G01X1.(加工)"));
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));     // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // a surrogate
    EXPECT_FALSE(IsValidUtf8("\xE5\x8A"));     // cut short

    const std::string cp932 = *Utf8ToCp932("O1(加工)\nM30\n");
    EXPECT_EQ(PreviewText(cp932, 100), "O1(加工)\nM30\n");
    EXPECT_EQ(PreviewText("O1(加工)\nM30\n", 100), "O1(加工)\nM30\n");
}

TEST(PreviewText, ACharacterAcrossTheLimitIsLeftOut)
{
    // "加" is three bytes in UTF-8 and two in CP932; the limit falls inside it.
    const std::string utf8 = "ABC加工";
    EXPECT_EQ(PreviewText(utf8, 4), "ABC");
    EXPECT_EQ(PreviewText(utf8, 6), "ABC加");
    const std::string cp932 = *Utf8ToCp932("ABC加工");
    EXPECT_EQ(PreviewText(cp932, 4), "ABC");
    EXPECT_EQ(PreviewText(cp932, 5), "ABC加");
}
