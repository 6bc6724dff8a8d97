// The window's send, file, port and line commands, straight on the session;
// what the settings window hands to it; the device servers it has used.

#include "SessionFixture.h"

#include "core/logs/WorkFilePath.h"
#include "core/session/UsedDeviceServers.h"

#include "support/Cp932Lines.h"

#include <sys/stat.h>

using namespace maroka;
using maroka::test::ReadFileBytes;
using maroka::test::SessionFixture;
using maroka::test::WriteFileBytes;
using namespace std::chrono_literals;

namespace {

const std::string kBusy = "転送中です。ストップ・リセット(F5)で停止してから実行して下さい。";

} // namespace

TEST_F(SessionFixture, DirectSendSendsTheChosenFileUnchangedAndF3AgainKeepsIt)
{
    auto& s = Start();
    s.DirectSend(); // the dialog is cancelled: nothing starts
    EXPECT_FALSE(s.TransferRunning());
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(s.Idle());
    EXPECT_TRUE(s.LastTransferCompleted());
    EXPECT_EQ(ui.LastFileName(), " A.NC 送信終了（再送可）");
    EXPECT_EQ(line->State().BaudRate, 9600u);

    s.DirectSend();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ui.OpenDialogs(), 2);
    EXPECT_EQ(line->Written(), "%\nO1\n%\n%\nO1\n%\n");
    s.Send(); // a converted send after a direct one asks for files again
    EXPECT_EQ(ui.OpenDialogs(), 3);
}

TEST_F(SessionFixture, OnAnIdleSessionQuickCommandsActAndRefusalsSayWhy)
{
    auto& s = Start();
    s.SendDc2(); // at once on the open line
    EXPECT_EQ(line->Written(), "\x12");
    EXPECT_FALSE(s.ConfirmExit()); // Esc asked No keeps running
    ui.answers.push_back(MessageAnswer::Yes);
    EXPECT_TRUE(s.ConfirmExit());
    s.ClearCommLog();
    EXPECT_EQ(ui.Messages().back(), "現在、通信ログはありません。");

    s.FilesDropped({(dir / "B.NC").string(), (dir / "A.NC").string()});
    s.DirectSend(); // F3 discards a selection it did not make and asks
    EXPECT_EQ(ui.OpenDialogs(), 1);
    ui.openFiles.push_back({(dir / "A.NC").string(), (dir / "B.NC").string()});
    s.MutableSettings().noConversionSend = true;
    s.Send();
    EXPECT_EQ(ui.Messages().back(), "無変換送信の場合は、複数ファイルの無変換送信はできません。");

    // An unusable baud rate is refused before the port is touched.
    s.SetLineBox(session::LineBox::BaudRate, "96k");
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    EXPECT_FALSE(s.TransferRunning());
    EXPECT_TRUE(ui.Messages().back().starts_with("ボーレートが正しくありません"));
    EXPECT_EQ(line->State().BaudRate, serial::LineSettings{}.BaudRate);
}

TEST_F(SessionFixture, WhileBusyStartsAndChoicesAreRefusedAndResetReturnsToIdleAtOnce)
{
    auto& s = Start();
    StartWaitingSend();
    EXPECT_FALSE(s.Idle());
    s.DirectSend(); // never two workers
    EXPECT_EQ(ui.Messages().back(), kBusy);
    s.ChooseSendFiles();
    EXPECT_EQ(ui.OpenDialogs(), 1);
    const auto messages = ui.Messages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), kBusy), 2);
    const auto started = std::chrono::steady_clock::now();
    s.Reset();
    ASSERT_TRUE(WaitIdle());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_TRUE(s.Idle());
    EXPECT_EQ(line->Written(), "");
    // A second stopped transfer also returns to idle.
    s.DirectSend();
    ASSERT_TRUE(ui.PumpUntil([this] { return line->WaitingForEvent(); }, 5s));
    s.Reset();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(s.Idle());
}

TEST_F(SessionFixture, ClosingDuringASendSaysSoAndStillSavesTheSettings)
{
    auto& s = Start();
    StartWaitingSend();
    s.SetLineBox(session::LineBox::BaudRate, "19200");
    s.Close();
    EXPECT_EQ(ui.Messages().back(), "Maroka を終了します。");
    EXPECT_TRUE(line->Closed());
    settings::SessionSettings saved;
    ASSERT_FALSE(settings::SettingsFile(SettingsPath()).LoadSettings(saved));
    EXPECT_EQ(saved.baudRate, "19200");
}

TEST_F(SessionFixture, APortThatCannotBeOpenedOffersTheOthersAndNoEndsTheProgram)
{
    initial.startupPort = "/dev/ttyNOPE";
    auto& s = Start();
    EXPECT_TRUE(ui.Saw("choose-port:/dev/ttyNOPE:FAKE0"));
    EXPECT_TRUE(s.QuitRequested());
    EXPECT_TRUE(ui.CloseRequested());
}

TEST_F(SessionFixture, ASuccessfulSwitchToAnotherPortClearsTheOldPortsError)
{
    initial.startupPort = "/dev/ttyNOPE";
    ui.otherPorts.push_back("FAKE0");
    auto& s = Start();
    EXPECT_TRUE(ui.Saw("status:/dev/ttyNOPE: no such port"));
    EXPECT_FALSE(s.QuitRequested());
    EXPECT_EQ(ui.LastStatus(), "");
}

TEST_F(SessionFixture, ChosenFilesAreSentInNameOrderWithoutAskingAgain)
{
    auto& s = Start();
    s.MutableSettings().sendPercentComment = false;
    ui.openFiles.push_back({(dir / "B.NC").string(), (dir / "GONE.NC").string(), (dir / "A.NC").string()});
    s.ChooseSendFiles();
    EXPECT_TRUE(ui.Saw("send-data-menu:on"));
    s.Send();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ui.OpenDialogs(), 1);
    const std::string written = line->Written();
    ASSERT_NE(written.find("O1"), std::string::npos) << written;
    EXPECT_LT(written.find("O1"), written.find("O2")) << written;
    EXPECT_TRUE(s.LastTransferCompleted());
}

TEST_F(SessionFixture, ThePreparedFileIsSavedWithTheCycleTimeAfterItsHeadLineAndClearedWithTheSelection)
{
    auto& s = Start();
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.Send();
    ASSERT_TRUE(WaitIdle());
    const auto preparedFile = logs::WorkFilePath((dir / "bin" / "Maroka_Work").string(), logs::kSendFile, "FAKE0");
    const std::string prepared = ReadFileBytes(preparedFile);
    const std::size_t headEnd = prepared.find('\n') + 1;
    ASSERT_EQ(prepared.substr(0, 1), "%");

    ui.saveFiles.push_back((dir / "SAVED.NC").string());
    s.SaveSendFile();
    const std::string saved = ReadFileBytes(dir / "SAVED.NC");
    const std::string head = prepared.substr(0, headEnd);
    ASSERT_TRUE(saved.starts_with(head + "(CYCLE-TIME ")) << saved;
    const std::size_t cycleEnd = saved.find('\n', headEnd) + 1;
    EXPECT_EQ(saved.substr(cycleEnd), prepared.substr(headEnd));
    // The added line ends as the head line does.
    const std::string lineEnd = prepared[headEnd - 2] == '\r' ? "\r\n" : "\n";
    EXPECT_EQ(saved.substr(cycleEnd - lineEnd.size() - 1, lineEnd.size() + 1), ")" + lineEnd);

    ui.saveFiles.push_back((dir / "NO-SUCH-FOLDER" / "X.NC").string());
    s.SaveSendFile();
    EXPECT_TRUE(ui.Messages().back().starts_with((dir / "NO-SUCH-FOLDER" / "X.NC").string() + ": "));

    s.ClearFiles();
    EXPECT_FALSE(std::filesystem::exists(preparedFile));
    EXPECT_TRUE(ui.Saw("send-data-menu:off"));
    s.Send(); // nothing left to send: asks, and the cancelled dialog sends nothing
    EXPECT_EQ(ui.OpenDialogs(), 2);
    EXPECT_FALSE(s.TransferRunning());
    s.SaveSendFile();
    EXPECT_EQ(ui.Messages().back(), "送信ファイルがありません。");
}

TEST_F(SessionFixture, TheDropDownListsTheCurrentPortFirstAndAChangeMovesToTheNewLine)
{
    ports = {"FAKE1", "FAKE0"};
    auto& s = Start();
    s.PortDropDown();
    EXPECT_TRUE(ui.Saw("ports:FAKE0,FAKE1"));

    s.PortChanged("FAKE1");
    EXPECT_TRUE(line->Closed());
    EXPECT_EQ(s.LineBoxes().port, "FAKE1");
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(secondLine->Written(), "%\nO1\n%\n");
    EXPECT_EQ(line->Written(), "");
}

TEST_F(SessionFixture, AReceivedFileOpensInTheEditor)
{
    auto& s = Start();
    const auto editor = dir / "editor.sh";
    WriteFileBytes(editor, "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened\"\n");
    ASSERT_EQ(::chmod(editor.c_str(), 0700), 0);
    s.MutableSettings().editor = editor.string();
    s.MutableSettings().editorEnabled = true;
    s.MutableSettings().receiveEndSeconds = "0";

    ui.saveFiles.push_back((dir / "IN.NC").string());
    s.Receive();
    ASSERT_TRUE(ui.PumpUntil([this] { return line->WaitingForEvent(); }, 5s));
    line->MachineSends("%\nO5\nG0X1\n%\n");
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(ui.Saw("received-files:1"));

    s.OpenReceivedFile(1); // past the list: nothing happens
    EXPECT_FALSE(std::filesystem::exists(dir / "opened"));
    s.OpenReceivedFile(0);
    EXPECT_EQ(ReadFileBytes(dir / "opened"), (dir / "IN.NC").string());
}

namespace {

using S = settings::SessionSettings;

// A constructed session, not shown, as the settings window meets it.
struct SessionDialog : ::testing::Test, test::SessionRig {
    SessionDialog()
    {
        std::filesystem::create_directories(dir / "bin");
        session::SessionOptions options;
        options.programPath = (dir / "bin" / "maroka").string();
        options.listPorts = [] { return std::vector<std::string>{}; };
        session = std::make_unique<session::Session>(ui, std::move(options));
        session->Construct();
    }

    std::string MailFile() const { return (dir / "bin" / "Maroka_Work" / "MAILFILE.COM1").string(); }
};

} // namespace

TEST_F(SessionDialog, ClosingTakesTheValuesTheListsAndTheMailText)
{
    settings::ListSettings lists;
    lists.conversionPairs[2] = {"X", "U"};
    session->ApplyDialogSettings(
        {{&settings::KeyOf(&S::twoByteCheck), "0"}, {&settings::KeyOf(&S::sendDelayMs), "abc"}}, lists, "２号機\n終了");
    const S& now = session->Settings();
    EXPECT_FALSE(now.twoByteCheck);
    // Not a number: kept as typed and judged where it is used.
    EXPECT_EQ(now.sendDelayMs, "abc");
    EXPECT_TRUE(ui.Messages().empty());

    settings::ListSettings saved;
    ASSERT_FALSE(settings::SettingsFile(SettingsPath()).LoadListSettings(saved));
    EXPECT_EQ(saved.conversionPairs[2].newText, "U");

    EXPECT_EQ(test::ReadFileBytes(MailFile()), test::Cp932Lines("２号機\n終了\n"));
    EXPECT_EQ(session->LoadMailBody(), "２号機\n終了");
    // An empty text leaves no file, so the mail falls back to its fixed line.
    session->ApplyDialogSettings({}, lists, "");
    EXPECT_FALSE(std::filesystem::exists(MailFile()));
    EXPECT_EQ(session->LoadMailBody(), "");
}

TEST_F(SessionDialog, AChosenProgramIsStoredWithItsFolderAndGoesToTheTopOfItsHistory)
{
    const std::string vi = (dir / "bin" / "vi").string();
    const std::string nano = (dir / "bin" / "nano").string();
    test::WriteFileBytes(vi, "");
    test::WriteFileBytes(nano, "");
    std::vector<std::string> history{"/opt/old"};
    ui.openFiles = {{vi}, {(dir / "bin" / "missing").string()}};
    EXPECT_EQ(session->BrowseApplication(session::ExternalKind::Editor, history), vi);
    EXPECT_EQ(history, (std::vector<std::string>{vi, "/opt/old"}));
    EXPECT_EQ(session->Settings().editor, vi);
    EXPECT_EQ(session->Settings().editorBrowseFolder, (dir / "bin").string());
    // A name that is not there changes nothing.
    EXPECT_FALSE(session->BrowseApplication(session::ExternalKind::Editor, history).has_value());
    EXPECT_EQ(history.size(), 2u);
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

TEST(UsedDeviceServers, TheStartupPortAndEveryPortWithColoursThatIsADeviceServer)
{
    test::TempDir dir;
    const std::string path = (dir / "maroka0.ini").string();
    settings::SettingsFile file(path);
    settings::SessionSettings s;
    s.startupPort = "rfc2217://10.0.0.5:4001";
    ASSERT_FALSE(file.SaveSettings(s));
    ASSERT_FALSE(file.SavePortColours("/dev/ttyUSB0", s));
    ASSERT_FALSE(file.SavePortColours("tcp://cell-2.shop:4002", s));
    ASSERT_FALSE(file.SavePortColours("COM3", s));
    ASSERT_FALSE(file.SavePortColours("rfc2217://10.0.0.5:4001", s));
    ASSERT_FALSE(file.SavePortColours("tcp://no-port", s)); // not a usable name
    EXPECT_EQ(session::UsedDeviceServers(path),
              (std::vector<std::string>{"rfc2217://10.0.0.5:4001", "tcp://cell-2.shop:4002"}));

    s.startupPort = "COM1";
    ASSERT_FALSE(file.SaveSettings(s));
    EXPECT_EQ(session::UsedDeviceServers(path),
              (std::vector<std::string>{"rfc2217://10.0.0.5:4001", "tcp://cell-2.shop:4002"}));
    EXPECT_TRUE(session::UsedDeviceServers((dir / "missing.ini").string()).empty());
}
