// Settings files that another editor saved: UTF-8 with or without a byte
// order mark is read and written back as CP932 with one section; a file in
// neither encoding is refused and left alone.

#include "SettingsFixture.h"

#include "core/text/Encoding.h"

using namespace maroka::settings;
using namespace maroka::settings::test;

namespace {

using SettingsEncodingTest = SettingsFixture;

const std::string kUtf8File = "; edited on the shop floor PC\n"
                              "[Maroka 設定]\n"
                              "起動ポート=ttyUSB0\n"
                              "ボーレート=4800\n"
                              "MEM/DNC=DNC\n"
                              "無視文字列=（注）\n"
                              "旧文字列1=Ｘ\n"
                              "[other]\n"
                              "kept=値\n";

} // namespace

TEST_F(SettingsEncodingTest, AUtf8FileIsReadAndSavedBackAsCp932WithOneSection)
{
    for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
        SCOPED_TRACE(bom.empty() ? "without BOM" : "with BOM");
        const std::string path = dir / "maroka0.ini";
        WriteFileBytes(path, bom + kUtf8File);
        SessionSettings settings;
        bool readAsUtf8 = false;
        ASSERT_FALSE(SettingsFile(path).LoadSettings(settings, &readAsUtf8));
        EXPECT_TRUE(readAsUtf8);
        EXPECT_EQ(settings.sendMode, "DNC");
        EXPECT_EQ(settings.ignoreStrings, "（注）");
        ListSettings lists;
        ASSERT_FALSE(SettingsFile(path).LoadListSettings(lists));
        EXPECT_EQ(lists.conversionPairs[0].oldText, "Ｘ");

        ASSERT_FALSE(SettingsFile(path).SaveSettings(settings));
        const std::string bytes = ReadFileBytes(path);
        ASSERT_TRUE(maroka::text::Cp932ToUtf8(bytes).has_value());
        EXPECT_EQ(bytes.find("\xEF\xBB\xBF"), std::string::npos);
        EXPECT_EQ(Count(bytes, Cp932Lines("[Maroka 設定]")), 1u);
        EXPECT_EQ(Count(bytes, Cp932Lines("ボーレート=4800\n")), 1u);
        // What the save does not own comes through in the new encoding.
        EXPECT_EQ(bytes.rfind(Cp932Lines("; edited on the shop floor PC\n"), 0), 0u);
        EXPECT_NE(bytes.find(Cp932Lines("[other]\nkept=値\n")), std::string::npos);

        SessionSettings again;
        ASSERT_FALSE(SettingsFile(path).LoadSettings(again, &readAsUtf8));
        EXPECT_FALSE(readAsUtf8);
        EXPECT_EQ(again.sendMode, "DNC");
        EXPECT_EQ(again.ignoreStrings, "（注）");
    }
}

// A CP932 file is not taken for UTF-8 (the save above reads back so); a
// plain ASCII one is valid UTF-8 too and stays CP932.
TEST_F(SettingsEncodingTest, PlainAsciiFilesAreNotTakenForUtf8)
{
    ProfileFile ascii(path);
    WriteFileBytes(path, "[s]\nk=v\n");
    ASSERT_TRUE(ascii.Load().Ok());
    EXPECT_EQ(ascii.Encoding(), ProfileEncoding::Cp932);
}

TEST_F(SettingsEncodingTest, AFileInNeitherEncodingIsRefusedWithItsLineAndNotOverwritten)
{
    // Line 3 ends in a lone lead byte: no CP932 character, no UTF-8 either.
    const std::string bytes = Cp932Lines("[Maroka 設定]\nボーレート=4800\n") + "CODE=ASC\x83\r\nDC3=93H\r\n";
    WriteFileBytes(path, bytes);
    SessionSettings settings;
    settings.baudRate = "1200";
    const auto error = SettingsFile(path).LoadSettings(settings);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, SettingsErrorKind::Read);
    EXPECT_NE(error->Text().find(path), std::string::npos);
    EXPECT_NE(error->Text().find("3 行目"), std::string::npos);
    // Nothing of a refused file is believed.
    EXPECT_EQ(settings.baudRate, "9600");

    EXPECT_TRUE(SettingsFile(path).SaveSettings(settings));
    EXPECT_TRUE(SettingsFile(path).SaveListSettings(ListSettings{}));
    EXPECT_TRUE(SettingsFile(path).SavePortColours("ttyS0", settings));
    EXPECT_EQ(ReadFileBytes(path), bytes);

    // A byte order mark promises UTF-8: the first line that breaks it is named.
    WriteFileBytes(path, "\xEF\xBB\xBF[Maroka 設定]\n" + Cp932Lines("CODE=ＡＳＣ\n"));
    const auto bomError = SettingsFile(path).LoadSettings(settings);
    ASSERT_TRUE(bomError);
    EXPECT_NE(bomError->Text().find("2 行目"), std::string::npos);
}
