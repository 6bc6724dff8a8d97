// What the settings window hands to the session: values, lists and the mail
// text when it closes, and the programs chosen with its browse buttons.

#include "core/session/Session.h"
#include "core/settings/SettingsFile.h"

#include "support/Cp932Lines.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace maroka;
using maroka::test::RecordingUserInterface;
using maroka::test::TempDir;

namespace {

using S = settings::SessionSettings;

struct SessionDialog : ::testing::Test {
    SessionDialog()
    {
        session::SessionOptions options;
        options.programPath = (dir / "maroka").string();
        options.listPorts = [] { return std::vector<std::string>{}; };
        session = std::make_unique<session::Session>(ui, std::move(options));
        session->Construct();
    }

    std::string MailFile() const { return (dir / "Maroka_Work" / "MAILFILE.COM1").string(); }

    TempDir dir;
    RecordingUserInterface ui;
    std::unique_ptr<session::Session> session;
};

} // namespace

TEST_F(SessionDialog, ClosingTakesTheValuesTheListsAndTheMailText)
{
    settings::ListSettings lists;
    lists.conversionPairs[2] = {"X", "U"};
    lists.subprogramIgnoreCodes = {"M30"};
    lists.editorHistory = {"/usr/bin/vi"};
    const std::string longIgnore(600, 'A');
    session->ApplyDialogSettings({{&settings::KeyOf(&S::twoByteCheck), "0"},
                                  {&settings::KeyOf(&S::sendDelayMs), "abc"},
                                  {&settings::KeyOf(&S::ignoreStrings), longIgnore}},
                                 lists, "２号機\n終了");
    const S& now = session->Settings();
    EXPECT_FALSE(now.twoByteCheck);
    // Not a number: kept as typed and judged where it is used.
    EXPECT_EQ(now.sendDelayMs, "abc");
    // The capacity of the key holds.
    EXPECT_EQ(now.ignoreStrings, std::string(511, 'A'));
    EXPECT_TRUE(ui.Messages().empty());

    settings::ListSettings saved;
    ASSERT_FALSE(settings::SettingsFile((dir / "maroka0.ini").string()).LoadListSettings(saved));
    EXPECT_EQ(saved.conversionPairs[2].newText, "U");
    EXPECT_EQ(saved.subprogramIgnoreCodes, std::vector<std::string>{"M30"});
    EXPECT_EQ(saved.editorHistory, std::vector<std::string>{"/usr/bin/vi"});

    EXPECT_EQ(test::ReadFileBytes(MailFile()), test::Cp932Lines("２号機\n終了\n"));
    EXPECT_EQ(session->LoadMailBody(), "２号機\n終了");
    // An empty text leaves no file, so the mail falls back to its fixed line.
    session->ApplyDialogSettings({}, lists, "");
    EXPECT_FALSE(std::filesystem::exists(MailFile()));
    EXPECT_EQ(session->LoadMailBody(), "");
}

TEST_F(SessionDialog, AChosenProgramIsStoredWithItsFolderAndGoesToTheTopOfItsHistoryOnce)
{
    std::filesystem::create_directories(dir / "bin");
    const std::string vi = (dir / "bin" / "vi").string();
    const std::string nano = (dir / "bin" / "nano").string();
    test::WriteFileBytes(vi, "");
    test::WriteFileBytes(nano, "");
    std::vector<std::string> history{"/opt/old"};
    ui.openFiles = {{vi}, {nano}, {vi}, {(dir / "bin" / "missing").string()}};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(session->BrowseApplication(session::ExternalKind::Editor, history).has_value());
    EXPECT_EQ(history, (std::vector<std::string>{vi, nano, "/opt/old"}));
    EXPECT_EQ(session->Settings().editor, vi);
    EXPECT_EQ(session->Settings().editorBrowseFolder, (dir / "bin").string());
    // A name that is not there changes nothing.
    EXPECT_FALSE(session->BrowseApplication(session::ExternalKind::Editor, history).has_value());
    EXPECT_EQ(history.size(), 3u);
    EXPECT_EQ(session->Settings().editor, vi);
    EXPECT_TRUE(ui.Saw("open-dialog: エディタ選択　 Maroka ver 0.565"));

    ui.openFiles = {{nano}};
    std::vector<std::string> viewers;
    EXPECT_EQ(session->BrowseApplication(session::ExternalKind::Viewer, viewers), nano);
    EXPECT_EQ(session->Settings().viewer, nano);
    EXPECT_EQ(session->Settings().editor, vi);
    EXPECT_TRUE(ui.Saw("open-dialog: VIEWER選択　 Maroka ver 0.565"));
}

TEST_F(SessionDialog, ACancelledFolderChoiceWithoutAFolderWarns)
{
    std::vector<std::string> history;
    EXPECT_FALSE(session->BrowseServerFolder(history).has_value());
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0], "サーバー用：検索/保存フォルダの指定をしないと、正常な動作ができません。");
    EXPECT_TRUE(history.empty());
}
