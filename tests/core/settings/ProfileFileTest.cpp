#include "SettingsFixture.h"

#include "support/RefusingFiles.h"

#include <filesystem>
#include <sys/stat.h>

using namespace maroka::settings;
using namespace maroka::settings::test;

namespace {

constexpr std::string_view kSection = kSettingsSection;
using ProfileFileTest = SettingsFixture;

} // namespace

TEST_F(ProfileFileTest, MatchesNamesWithoutLetterCaseAndTakesTheFirstMatch)
{
    WriteLines("key=outside\n[maroka 設定]\n  Code = ASC  \nCODE=ISO\nＳＭＴＰポート=2525\n[MAROKA 設定]\nLEFT=5\n");
    ProfileFile file(path);
    ASSERT_TRUE(file.Load().Ok());
    EXPECT_EQ(file.Read(kSection, "code"), "ASC");
    EXPECT_EQ(file.Read(kSection, "ＳＭＴＰポート"), "2525");
    // Only the first matching section counts, and keys before any section
    // belong to none.
    EXPECT_EQ(file.Read(kSection, "LEFT"), std::nullopt);
    EXPECT_EQ(file.Read(kSection, "key"), std::nullopt);
    EXPECT_EQ(file.Read("other", "CODE"), std::nullopt);
    // Full-width letters are not ASCII and do not fold.
    EXPECT_EQ(file.Read(kSection, "ｓｍｔｐポート"), std::nullopt);
}

TEST_F(ProfileFileTest, ReadsLfOnlyFilesAndQuotes)
{
    WriteFileBytes(path, "[s]\nq1=\"  padded \"\nq2='x'\nq3='\nempty=\nnoequals\n");
    ProfileFile file(path);
    ASSERT_TRUE(file.Load().Ok());
    EXPECT_EQ(file.Read("s", "q1"), "  padded ");
    EXPECT_EQ(file.Read("s", "q2"), "x");
    EXPECT_EQ(file.Read("s", "q3"), "'");
    EXPECT_EQ(file.Read("s", "empty"), "");
    EXPECT_EQ(file.Read("s", "noequals"), std::nullopt);
}

TEST_F(ProfileFileTest, ReadsAtMost2047BytesCutAtACharacterBoundary)
{
    // 2046 ASCII bytes and then "あい": the 2047th byte is the lead byte of あ.
    const std::string value = std::string(2046, 'x') + "\x82\xA0\x82\xA2";
    WriteFileBytes(path, "[s]\r\nk=" + value + "\r\n");
    const auto read = ProfileFile::ReadValue(path, "s", "k");
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, std::string(2046, 'x'));

    WriteFileBytes(path, "[s]\r\nk=" + std::string(3000, 'y') + "\r\n");
    EXPECT_EQ(ProfileFile::ReadValue(path, "s", "k")->size(), 2047u);
}

TEST_F(ProfileFileTest, WritesCp932WithCrLfAndKeepsWhatItDoesNotKnow)
{
    WriteLines("; a comment\n[Other]\nCODE=keep me\n\n[Maroka 設定]\nUnknown=1\ncode=ISO\n\n[Last]\nx=y\n");
    ProfileFile file(path);
    ASSERT_TRUE(file.Load().Ok());
    ASSERT_TRUE(file.Write(kSection, "CODE", "ASC").Ok());
    ASSERT_TRUE(file.Write(kSection, "ボーレート", "4800").Ok());
    ASSERT_TRUE(file.Write("新しい", "鍵", " spaced ").Ok());
    file.Delete(kSection, "UNKNOWN");
    // Lines moved by the changes above are still found where they now are.
    EXPECT_EQ(file.Read("last", "X"), "y");
    ASSERT_TRUE(file.Commit().Ok());

    // Replaced in place with the file's spelling of the key, appended at the
    // end of its section before the blank line, a new section at the end.
    EXPECT_EQ(ReadFileBytes(path), Cp932Lines("; a comment\n[Other]\nCODE=keep me\n\n"
                                              "[Maroka 設定]\ncode=ASC\nボーレート=4800\n\n"
                                              "[Last]\nx=y\n\n[新しい]\n鍵=\" spaced \"\n"));
    EXPECT_EQ(ProfileFile::ReadValue(path, "新しい", "鍵"), " spaced ");
    EXPECT_EQ(ProfileFile::ReadValue(path, kSection, "Unknown"), std::nullopt);
}

TEST_F(ProfileFileTest, ValuesThatWouldReadBackDifferentlyRoundTrip)
{
    for (const std::string value : {"\"quoted\"", "'single'", "\"\"", " ", "\t", "a\"", "=a=b", "[x]", ";c"}) {
        ASSERT_TRUE(ProfileFile::WriteValue(path, "s", "k", value).Ok()) << value;
        EXPECT_EQ(ProfileFile::ReadValue(path, "s", "k"), value);
    }
}

TEST_F(ProfileFileTest, RefusesTextTheFileCannotHoldAndChangesNothing)
{
    WriteFileBytes(path, "[s]\r\nk=old\r\n");
    ProfileFile file(path);
    ASSERT_TRUE(file.Load().Ok());
    EXPECT_EQ(file.Write("s", "k", "emoji \xF0\x9F\x98\x80").kind, ProfileErrorKind::Text);
    EXPECT_EQ(file.Write("s", "k", "two\nlines").kind, ProfileErrorKind::Text);
    EXPECT_EQ(file.Write("s", "k=v", "x").kind, ProfileErrorKind::Text);
    EXPECT_EQ(file.Write("s]", "k", "x").kind, ProfileErrorKind::Text);
    EXPECT_EQ(file.Serialise(), "[s]\r\nk=old\r\n");
}

TEST_F(ProfileFileTest, AMissingFileIsEmptyAndCreatedByTheFirstWrite)
{
    const std::string path = dir / "new.ini";
    EXPECT_EQ(ProfileFile::ReadValue(path, "s", "k"), std::nullopt);
    ASSERT_TRUE(ProfileFile::DeleteKey(path, "s", "k").Ok());
    EXPECT_FALSE(std::filesystem::exists(path)); // nothing changed, nothing written
    ASSERT_TRUE(ProfileFile::WriteValue(path, "s", "k", "v").Ok());
    EXPECT_EQ(ReadFileBytes(path), "[s]\r\nk=v\r\n");
}

TEST_F(ProfileFileTest, AReadOnlyFileIsRefusedAndLeftByteForByte)
{
    const std::string old = "[s]\nk=old\n";
    WriteFileBytes(path, old);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);

    const ProfileStatus status = ProfileFile::WriteValue(path, "s", "k", "new");
    EXPECT_EQ(status.kind, ProfileErrorKind::Write);
    EXPECT_EQ(status.detail, "Permission denied");
    EXPECT_EQ(ReadFileBytes(path), old);
    // Writing the value it already holds changes nothing and is no error.
    EXPECT_TRUE(ProfileFile::WriteValue(path, "s", "k", "old").Ok());
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(ProfileFileTest, AFolderThatCannotTakeTheFileIsRefused)
{
    const ProfileStatus missing = ProfileFile::WriteValue(dir / "no/such/folder.ini", "s", "k", "v");
    EXPECT_EQ(missing.kind, ProfileErrorKind::Write);
    EXPECT_EQ(missing.detail, "No such file or directory");

    // A folder that takes no new file, whoever asks.
    const std::string refused = std::string(maroka::test::kRefusingFolder) + "/a.ini";
    EXPECT_EQ(ProfileFile::WriteValue(refused, "s", "k", "v").kind, ProfileErrorKind::Write);
    EXPECT_FALSE(std::filesystem::exists(refused));

    // A file system that refuses the new text halfway (a full disk): the
    // old file stays as it was, and nothing is left beside it.
    std::filesystem::create_directory(dir / "full");
    WriteFileBytes(dir / "full/a.ini", "[s]\r\nk=old\r\n");
    ProfileStatus status;
    {
        maroka::test::FileSizeLimit limit(8);
        status = ProfileFile::WriteValue(dir / "full/a.ini", "s", "k", "new");
    }
    EXPECT_EQ(status.kind, ProfileErrorKind::Write);
    EXPECT_EQ(ReadFileBytes(dir / "full/a.ini"), "[s]\r\nk=old\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "full"), {}), 1);
}

TEST_F(ProfileFileTest, ReplacesTheFileALinkPointsAtAndKeepsItsPermissions)
{
    const std::string target = dir / "real.ini";
    const std::string link = dir / "link.ini";
    WriteFileBytes(target, "[s]\r\nk=old\r\n");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    std::filesystem::create_symlink(target, link);

    ASSERT_TRUE(ProfileFile::WriteValue(link, "s", "k", "new").Ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(target), "[s]\r\nk=new\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}
