// The window's send, file, port and line commands, straight on the session.

#include "SessionFixture.h"

#include "core/logs/WorkFilePath.h"

#include <sys/stat.h>

using namespace maroka;
using maroka::test::ReadFileBytes;
using maroka::test::SessionFixture;
using maroka::test::WriteFileBytes;
using namespace std::chrono_literals;

namespace {

const std::string kBusy = "転送中です。ストップ・リセット(F5)で停止してから実行して下さい。";

struct SessionCommands : SessionFixture {
    std::filesystem::path PreparedFile() const
    {
        return logs::WorkFilePath((dir / "bin" / "Maroka_Work").string(), logs::kSendFile, "FAKE0");
    }
};

} // namespace

TEST_F(SessionFixture, DirectSendSendsTheChosenFileUnchangedAndF3AgainKeepsIt)
{
    auto& s = Start();
    s.DirectSend(); // the dialog is cancelled: nothing starts
    EXPECT_FALSE(s.TransferRunning());
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(line->Written(), "%\nO1\n%\n");
    EXPECT_TRUE(s.Idle());
    EXPECT_TRUE(s.LastTransferCompleted());
    EXPECT_EQ(ui.LastFileName(), " A.NC 送信終了（再送可）");
    EXPECT_EQ(line->State().BaudRate, 9600u);

    const std::string log = ReadFileBytes(dir / "bin" / "Maroka_Work" / "LOGFILE.FAKE0");
    const std::string subject = "\t" + (dir / "A.NC").string() + "\t";
    const std::size_t start = log.find(subject + "\x91\x97\x90\x4d\x8a\x4a\x8e\x6e\r\n"); // 送信開始
    const std::size_t end = log.find(subject + "\x91\x97\x90\x4d\x8f\x49\x97\xb9\t");     // 送信終了
    ASSERT_NE(start, std::string::npos) << log;
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(start, end);

    s.DirectSend();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ui.OpenDialogs(), 2);
    EXPECT_EQ(line->Written(), "%\nO1\n%\n%\nO1\n%\n");
    s.Send(); // a converted send after a direct one asks for files again
    EXPECT_EQ(ui.OpenDialogs(), 3);
}

TEST_F(SessionFixture, ADirectSendOfSeveralFilesIsRefused)
{
    auto& s = Start();
    s.FilesDropped({(dir / "B.NC").string(), (dir / "A.NC").string()});
    s.DirectSend(); // F3 discards a selection it did not make and asks
    EXPECT_EQ(ui.OpenDialogs(), 1);
    ui.openFiles.push_back({(dir / "A.NC").string(), (dir / "B.NC").string()});
    s.MutableSettings().noConversionSend = true;
    s.Send();
    EXPECT_EQ(ui.Messages().back(), "無変換送信の場合は、複数ファイルの無変換送信はできません。");
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

TEST_F(SessionFixture, AnUnusableBaudRateIsRefusedBeforeThePortIsTouched)
{
    auto& s = Start();
    s.SetLineBox(session::LineBox::BaudRate, "96k");
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    EXPECT_FALSE(s.TransferRunning());
    EXPECT_TRUE(ui.Messages().back().starts_with("ボーレートが正しくありません"));
    EXPECT_EQ(line->State().BaudRate, serial::LineSettings{}.BaudRate);
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

TEST_F(SessionFixture, EscAskedNoKeepsRunningAndHelpAndAboutShowTheirTexts)
{
    auto& s = Start();
    EXPECT_FALSE(s.ConfirmExit());
    ui.answers.push_back(MessageAnswer::Yes);
    EXPECT_TRUE(s.ConfirmExit());
    s.ShowAbout();
    EXPECT_EQ(ui.Messages().back(), "　　　　　　　　　 Maroka ver 0.565");
    s.ClearCommLog();
    EXPECT_EQ(ui.Messages().back(), "現在、通信ログはありません。");
}

TEST_F(SessionCommands, ChosenFilesAreSentInNameOrderWithoutAskingAgain)
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

TEST_F(SessionCommands, ThePreparedFileIsSavedWithTheCycleTimeAfterItsHeadLineAndClearedWithTheSelection)
{
    auto& s = Start();
    s.SaveSendFile();
    EXPECT_EQ(ui.Messages().back(), "送信ファイルがありません。");
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.Send();
    ASSERT_TRUE(WaitIdle());
    const std::string prepared = ReadFileBytes(PreparedFile());
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
    EXPECT_FALSE(std::filesystem::exists(PreparedFile()));
    EXPECT_TRUE(ui.Saw("send-data-menu:off"));
    s.Send(); // nothing left to send: asks, and the cancelled dialog sends nothing
    EXPECT_EQ(ui.OpenDialogs(), 2);
    EXPECT_FALSE(s.TransferRunning());
    s.SaveSendFile();
    EXPECT_EQ(ui.Messages().back(), "送信ファイルがありません。");
}

TEST_F(SessionCommands, Dc2GoesOutAtOnceOnTheOpenLine)
{
    Start().SendDc2();
    EXPECT_EQ(line->Written(), "\x12");
}

TEST_F(SessionCommands, TheDropDownListsTheCurrentPortFirstAndAChangeMovesToTheNewLine)
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

TEST_F(SessionCommands, AReceivedFileOpensInTheEditor)
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
