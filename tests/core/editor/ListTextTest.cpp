#include "core/editor/ListText.h"

#include "core/text/Encoding.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace maroka;

TEST(ListTextTest, LinesOfCp932AndUtf8FilesWithEveryLineEnd)
{
    test::TempDir dir;
    test::WriteFileBytes(dir / "sjis.lst", *text::Utf8ToCp932("/nc/加工1.NC\r\n/nc/B.NC\nM30"));
    EXPECT_EQ(editor::ReadTextLines((dir / "sjis.lst").string()),
              (std::vector<std::string>{"/nc/加工1.NC", "/nc/B.NC", "M30"}));
    test::WriteFileBytes(dir / "utf8.lst", "/nc/加工1.NC\n\n/nc/B.NC\n");
    EXPECT_EQ(editor::ReadTextLines((dir / "utf8.lst").string()),
              (std::vector<std::string>{"/nc/加工1.NC", "", "/nc/B.NC"}));
    test::WriteFileBytes(dir / "empty.lst", "");
    EXPECT_EQ(editor::ReadTextLines((dir / "empty.lst").string()), std::vector<std::string>{});
    EXPECT_EQ(editor::ReadTextLines((dir / "missing.lst").string()), std::nullopt);
}

TEST(ListTextTest, WrittenTextIsCp932WithCrLfUnlessCp932LacksACharacter)
{
    test::TempDir dir;
    const std::string path = (dir / "out.lst").string();
    ASSERT_TRUE(editor::WriteTextLines(path, {"G65[/nc/加工.NC]", ""}));
    EXPECT_EQ(test::ReadFileBytes(path), *text::Utf8ToCp932("G65[/nc/加工.NC]\r\n\r\n"));
    // Hangul has no CP932 form: the text is kept whole in UTF-8.
    ASSERT_TRUE(editor::WriteTextLines(path, {"/nc/한.NC"}));
    EXPECT_EQ(test::ReadFileBytes(path), "/nc/한.NC\r\n");
    EXPECT_EQ(editor::ReadTextLines(path), std::vector<std::string>{"/nc/한.NC"});
    EXPECT_FALSE(editor::WriteTextLines((dir / "no" / "such" / "folder.lst").string(), {"x"}));
}

// The caret line's status is checked where the editor shows it.
TEST(ListTextTest, TheFileALineNames)
{
    EXPECT_EQ(editor::LineFile("G65[/nc/SUB.NC](#1 )"), "/nc/SUB.NC");
    EXPECT_EQ(editor::LineFile("G65[/nc/SUB.NC"), "/nc/SUB.NC");
    EXPECT_EQ(editor::LineFile("/nc/A.NC"), "/nc/A.NC");
    // Only a line that starts with the call is a call.
    EXPECT_EQ(editor::LineFile(" G65[/nc/SUB.NC]"), " G65[/nc/SUB.NC]");
}

TEST(ListTextTest, TheUserFilterIsAddedOncePerExtension)
{
    std::string filter = "すべてのファイル(*.*)|*;*.*";
    editor::AddUserFilter(filter, "/nc/O1.nc");
    EXPECT_EQ(filter, "すべてのファイル(*.*)|*;*.*|ユーザー設定(*.nc)|*.nc");
    editor::AddUserFilter(filter, "/other/O2.nc");
    editor::AddUserFilter(filter, "/nc/NOEXT");
    EXPECT_EQ(filter, "すべてのファイル(*.*)|*;*.*|ユーザー設定(*.nc)|*.nc");
    editor::AddUserFilter(filter, "/nc/list.lst");
    EXPECT_EQ(filter, "すべてのファイル(*.*)|*;*.*|ユーザー設定(*.nc)|*.nc|ユーザー設定(*.lst)|*.lst");
}
