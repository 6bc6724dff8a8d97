#include "SettingsFixture.h"

#include "core/settings/ColourValue.h"
#include "core/settings/SettingValue.h"
#include "core/text/Encoding.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <sys/stat.h>

using namespace maroka::settings;
using namespace maroka::settings::test;

namespace {

// The keys of the main section in the order they stand in the file.
std::vector<std::string> KeysInFile(const std::string& path)
{
    std::vector<std::string> keys;
    std::istringstream lines(maroka::text::Cp932ToUtf8(ReadFileBytes(path)).value());
    for (std::string line; std::getline(lines, line);)
        if (const std::size_t equals = line.find('='); equals != std::string::npos)
            keys.push_back(line.substr(0, equals));
    return keys;
}

std::ptrdiff_t IndexOf(const std::vector<std::string>& keys, std::string_view key)
{
    return std::find(keys.begin(), keys.end(), key) - keys.begin();
}

using SettingsFileTest = SettingsFixture;

} // namespace

TEST_F(SettingsFileTest, MissingKeysReadTheirDefaultsAndEmptyTextsStayEmpty)
{
    WriteLines("[Maroka 設定]\n起動ポート=\n送信ファイルフィルタ=\n"
               "LEFT= -1 \nTOP=abc\nWIDTH=+500\nHEIGHT=12abc\n"
               "送信開始時DC2出力=2\n送信先頭％出力=yes\nブロックスキップ=0\nボーレート=19200\n");
    SessionSettings settings;
    settings.code = "ASC"; // a missing key resets what was there
    ASSERT_FALSE(File().LoadSettings(settings));

    EXPECT_EQ(settings.startupPort, "");
    EXPECT_EQ(settings.sendFileFilter, "");
    EXPECT_EQ(settings.receiveFileFilter, kDefaultFilter);
    EXPECT_EQ(settings.left, -1);
    EXPECT_EQ(settings.top, -100);
    EXPECT_EQ(settings.width, 500);
    EXPECT_EQ(settings.height, 300);
    EXPECT_TRUE(settings.sendDc2AtStart);
    EXPECT_TRUE(settings.sendHeadPercent);
    EXPECT_FALSE(settings.blockSkipEnabled);
    EXPECT_EQ(settings.baudRate, "19200");
    EXPECT_EQ(settings.code, "ISO");
}

TEST_F(SettingsFileTest, AMissingFileReadsAllDefaultsAndAnUnreadableOneSaysSo)
{
    SessionSettings settings;
    settings.left = 7;
    EXPECT_FALSE(SettingsFile(dir / "none.ini").LoadSettings(settings));
    EXPECT_EQ(settings.left, -100);

    std::filesystem::create_directory(dir / "folder.ini");
    settings.left = 7;
    const auto error = SettingsFile(dir / "folder.ini").LoadSettings(settings);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, SettingsErrorKind::Read);
    EXPECT_EQ(settings.left, -100);
    // A save must not replace a file it could not read.
    const auto saveError = SettingsFile(dir / "folder.ini").SaveSettings(settings);
    ASSERT_TRUE(saveError);
    EXPECT_EQ(saveError->message, (dir / "folder.ini").string() + " に書き込めません");

    ListSettings lists;
    lists.subprogramIgnoreCodes = {"M98"};
    lists.conversionPairs[0] = {"a", "b"};
    ASSERT_FALSE(SettingsFile(dir / "none.ini").LoadListSettings(lists));
    EXPECT_TRUE(lists.subprogramIgnoreCodes.empty());
    EXPECT_EQ(lists.conversionPairs[0].oldText, "");
}

TEST_F(SettingsFileTest, FixedCapacityTextsAreCutAtACharacterBoundary)
{
    // 510 ASCII bytes and "Ｏ": the 511th byte is a lead byte.
    const std::string ignore = std::string(510, 'A') + "Ｏ";
    WriteLines("[Maroka 設定]\n無視文字列=" + ignore + "\nブロックスキップ文字=" + std::string(64, '/') +
               "\nメール件名=" + std::string(600, 's') + "\n");
    SessionSettings settings;
    ASSERT_FALSE(File().LoadSettings(settings));
    EXPECT_EQ(settings.ignoreStrings, std::string(510, 'A'));
    EXPECT_EQ(settings.blockSkipCharacter, std::string(63, '/'));
    EXPECT_EQ(settings.mailSubject, std::string(600, 's'));

    // A value set in memory beyond its capacity is stored cut as well.
    settings.commentStartCharacter = std::string(70, 'c');
    ASSERT_FALSE(File().SaveSettings(settings));
    EXPECT_EQ(Value("コメント開始文字"), std::string(63, 'c'));
}

TEST_F(SettingsFileTest, SavesInItsOwnOrderAsCp932WithCrLf)
{
    SessionSettings settings;
    settings.startupPort = "ttyUSB0";
    settings.left = 0;
    settings.top = -50;
    settings.serverFolder = "/srv/nc";
    settings.windowColour = "clAqua";
    settings.sendDc4AtEnd = true;
    settings.mailSubject = "加工終了";
    ASSERT_FALSE(File().SaveSettings(settings));

    const std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.rfind(Cp932Lines("[Maroka 設定]\nLEFT=0\nTOP=-50\nWIDTH=377\nHEIGHT=300\n起動ポート=ttyUSB0\n"
                                     "ファイル選択プレビュ=1\n"),
                          0),
              0u);

    const auto keys = KeysInFile(path);
    const auto table = SettingKeys();
    // Every table key once, then the colours and the folder copy.
    EXPECT_EQ(keys.size(), table.size() + 3);
    EXPECT_EQ(IndexOf(keys, "ttyUSB0窓色"), IndexOf(keys, "化け文字変換") + 1);
    EXPECT_EQ(IndexOf(keys, "ttyUSB0文字色"), IndexOf(keys, "化け文字変換") + 2);
    EXPECT_EQ(IndexOf(keys, "検索フォルダ"), IndexOf(keys, "メール送信命令") + 1);
    EXPECT_EQ(Value("検索フォルダ"), "/srv/nc");
    EXPECT_EQ(Value("ttyUSB0窓色"), "clAqua");

    // What was saved loads back the same.
    SessionSettings loaded;
    ASSERT_FALSE(File().LoadSettings(loaded));
    for (const SettingKey& key : table)
        EXPECT_EQ(FormatSettingValue(key, loaded), FormatSettingValue(key, settings)) << key.key;
}

TEST_F(SettingsFileTest, ASaveKeepsUnknownKeysAndOtherSections)
{
    WriteLines("[Other]\nLEFT=1\n\n[Maroka 設定]\n将来のキー=42\nleft=9\n");
    SessionSettings settings;
    settings.left = 3;
    ASSERT_FALSE(File().SaveSettings(settings));
    EXPECT_EQ(Value("LEFT"), "3");
    const auto keys = KeysInFile(path);
    ASSERT_GE(keys.size(), 3u);
    EXPECT_EQ(keys[0], "LEFT");
    EXPECT_EQ(keys[1], "将来のキー");
    EXPECT_EQ(keys[2], "left"); // replaced where it stood
}

TEST_F(SettingsFileTest, AFailedSaveWritesNothingAndNamesTheFile)
{
    const std::string old = Cp932Lines("[Maroka 設定]\nLEFT=10\n");
    WriteFileBytes(path, old);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    SessionSettings settings;
    settings.left = 20;
    const auto error = File().SaveSettings(settings);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, SettingsErrorKind::Write);
    EXPECT_EQ(error->Text(), path + " に書き込めません\nPermission denied");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);

    // A value with no Shift-JIS form stops the save before anything is written.
    settings.editor = "/opt/\xF0\x9F\x98\x80/edit";
    const auto refused = File().SaveSettings(settings);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->kind, SettingsErrorKind::Value);
    EXPECT_EQ(refused->message, path + " に書き込めません");
    EXPECT_NE(refused->detail.find("エディタ"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(path), old);
}

TEST_F(SettingsFileTest, PortColoursFallBackToTheDefaultsWhenMissingOrUnknown)
{
    WriteLines("[Maroka 設定]\ncom1窓色=$0000FF00\nCOM1文字色=clRed\nCOM2窓色=purple\nCOM2文字色=$12345\n");
    const SettingsFile file = File();
    SessionSettings settings;
    ASSERT_FALSE(file.LoadPortColours("COM1", settings));
    EXPECT_EQ(settings.windowColour, "$0000FF00");
    EXPECT_EQ(settings.textColour, "clRed");
    ASSERT_FALSE(file.LoadPortColours("COM2", settings));
    EXPECT_EQ(settings.windowColour, "clWindow");
    EXPECT_EQ(settings.textColour, "clWindowText");
    settings.windowColour = "clRed";
    ASSERT_FALSE(file.LoadPortColours("ttyS9", settings));
    EXPECT_EQ(settings.windowColour, "clWindow");
}

TEST_F(SettingsFileTest, ListsSkipGapsAndEmptiesAndSavingRemovesWhatIsGone)
{
    WriteLines("[Maroka 設定]\nサブプロ無視コード0=M30\nサブプロ無視コード5=G65\nサブプロ無視コード7=\n"
               "旧文字列1=A\n新文字列1=\n旧文字列3=B\n新文字列3=C\n"
               "エディタ0=/usr/bin/vi\nエディタ1=/usr/bin/nano\nエディタ2=/usr/bin/ed\n検索・保存フォルダ7=/srv/nc\n");
    const SettingsFile file = File();
    ListSettings lists;
    lists.viewerHistory = {"stale"};
    ASSERT_FALSE(file.LoadListSettings(lists));
    EXPECT_EQ(lists.subprogramIgnoreCodes, (std::vector<std::string>{"M30", "G65"}));
    EXPECT_EQ(lists.conversionPairs[0].oldText, "A");
    EXPECT_EQ(lists.conversionPairs[0].newText, "");
    EXPECT_EQ(lists.conversionPairs[2].newText, "C");
    EXPECT_EQ(lists.editorHistory, (std::vector<std::string>{"/usr/bin/vi", "/usr/bin/nano", "/usr/bin/ed"}));
    EXPECT_EQ(lists.folderHistory, (std::vector<std::string>{"/srv/nc"}));
    EXPECT_TRUE(lists.viewerHistory.empty());

    lists.conversionPairs[2].oldText.clear(); // a cleared row
    lists.conversionPairs[5] = {"X", "Y"};
    lists.editorHistory = {"/usr/bin/vim"}; // a shorter list
    lists.subprogramIgnoreCodes = {"M30", "", "G65"};
    ASSERT_FALSE(file.SaveListSettings(lists));

    EXPECT_EQ(Value("旧文字列6"), "X");
    EXPECT_EQ(Value("新文字列1"), "");
    EXPECT_EQ(Value("エディタ0"), "/usr/bin/vim");
    EXPECT_EQ(Value("サブプロ無視コード2"), "G65");
    // The history is written from its first position on.
    EXPECT_EQ(Value("検索・保存フォルダ0"), "/srv/nc");
    for (const char* gone : {"旧文字列3", "新文字列3", "エディタ1", "エディタ2", "サブプロ無視コード1",
                             "サブプロ無視コード5", "検索・保存フォルダ7"})
        EXPECT_EQ(Value(gone), std::nullopt) << gone;
}

TEST(SettingValue, IntegersFollowTheProfileRules)
{
    EXPECT_EQ(ParseProfileInteger("42"), 42);
    EXPECT_EQ(ParseProfileInteger(" -7\t"), -7);
    EXPECT_EQ(ParseProfileInteger("+3"), 3);
    EXPECT_EQ(ParseProfileInteger("2147483647"), 2147483647);
    for (const char* bad : {"", " ", "+", "-", "+-1", "1.5", "0x10", "12abc", "yes", "2147483648", "１"})
        EXPECT_EQ(ParseProfileInteger(bad), std::nullopt) << bad;
}

TEST(ColourValue, NamesAndHexValuesMapToColours)
{
    const auto window = ParseColourValue("CLWINDOW");
    ASSERT_TRUE(window);
    EXPECT_EQ(window->system, SystemColour::Window);
    EXPECT_EQ(ParseColourValue("$FF000008")->system, SystemColour::WindowText);

    const auto red = ParseColourValue("clRed");
    ASSERT_TRUE(red);
    EXPECT_FALSE(red->system);
    EXPECT_EQ((std::array{red->red, red->green, red->blue}), (std::array<std::uint8_t, 3>{255, 0, 0}));
    const auto hex = ParseColourValue("$00a0b0c0"); // 00BBGGRR
    ASSERT_TRUE(hex);
    EXPECT_EQ((std::array{hex->red, hex->green, hex->blue}), (std::array<std::uint8_t, 3>{0xC0, 0xB0, 0xA0}));

    for (const char* bad : {"", "red", "$123456", "$0012345G", "$001234567", "clWindowx", "0x00FF0000"})
        EXPECT_FALSE(IsValidColourValue(bad)) << bad;

    EXPECT_EQ(FormatColourValue(255, 0, 0), "clRed");
    EXPECT_EQ(FormatColourValue(192, 192, 192), "clSilver");
    EXPECT_EQ(FormatColourValue(0x12, 0x34, 0x56), "$00563412");
}
