#include "SessionFixture.h"

using namespace maroka;
using maroka::test::SessionFixture;
using namespace std::chrono_literals;

TEST_F(SessionFixture, DirectSendSendsTheChosenFileUnchangedAndReturnsToIdle)
{
    auto& s = Start();
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(line->Written(), "%\nO1\n%\n");
    EXPECT_TRUE(s.Idle());
    EXPECT_TRUE(s.LastTransferCompleted());
    EXPECT_EQ(ui.LastFileName(), " A.NC 送信終了（再送可）");
    EXPECT_EQ(line->State().BaudRate, 9600u);
}

TEST_F(SessionFixture, F3TwiceKeepsTheSelectionAndF2AfterF3AsksAgain)
{
    auto& s = Start();
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    ASSERT_TRUE(WaitIdle());
    s.DirectSend();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ui.OpenDialogs(), 1);
    EXPECT_EQ(line->Written(), "%\nO1\n%\n%\nO1\n%\n");
    s.Send(); // a converted send after a direct one asks for files again
    EXPECT_EQ(ui.OpenDialogs(), 2);
}

TEST_F(SessionFixture, CancellingTheFileDialogSendsNothing)
{
    auto& s = Start();
    s.DirectSend();
    EXPECT_FALSE(s.TransferRunning());
    EXPECT_EQ(line->Written(), "");
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

TEST_F(SessionFixture, ResetDuringTheCycleStartWaitReturnsToIdleAtOnce)
{
    auto& s = Start();
    s.MutableSettings().ignoreCycleStart = false;
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    ASSERT_TRUE(ui.PumpUntil([this] { return line->WaitingForEvent(); }, 5s));
    EXPECT_FALSE(s.Idle());
    s.DirectSend(); // a start while busy is refused; never two workers
    EXPECT_EQ(ui.Messages().back(), "転送中です。ストップ・リセット(F5)で停止してから実行して下さい。");
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
    s.MutableSettings().ignoreCycleStart = false;
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    ASSERT_TRUE(ui.PumpUntil([this] { return line->WaitingForEvent(); }, 5s));
    s.SetLineBox(session::LineBox::BaudRate, "19200");
    s.Close();
    EXPECT_EQ(ui.Messages().back(), "Maroka を終了します。");
    EXPECT_TRUE(line->Closed());
    settings::SessionSettings saved;
    ASSERT_FALSE(settings::SettingsFile((dir / "bin" / "maroka0.ini").string()).LoadSettings(saved));
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
    settings::SessionSettings initial;
    initial.startupPort = "/dev/ttyNOPE";
    ASSERT_FALSE(settings::SettingsFile((dir / "bin" / "maroka0.ini").string()).SaveSettings(initial));
    auto& s = Start();
    EXPECT_TRUE(ui.Saw("choose-port:/dev/ttyNOPE:FAKE0"));
    EXPECT_TRUE(s.QuitRequested());
    EXPECT_TRUE(ui.CloseRequested());
}

TEST_F(SessionFixture, ASuccessfulSwitchToAnotherPortClearsTheOldPortsError)
{
    settings::SessionSettings initial;
    initial.startupPort = "/dev/ttyNOPE";
    ASSERT_FALSE(settings::SettingsFile((dir / "bin" / "maroka0.ini").string()).SaveSettings(initial));
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

TEST_F(SessionFixture, ASendWritesStartAndEndToTheCommunicationLog)
{
    auto& s = Start();
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    ASSERT_TRUE(WaitIdle());
    const std::string log = test::ReadFileBytes(dir / "bin" / "Maroka_Work" / "LOGFILE.FAKE0");
    const std::string subject = "\t" + (dir / "A.NC").string() + "\t";
    const std::size_t start = log.find(subject + "\x91\x97\x90\x4d\x8a\x4a\x8e\x6e\r\n"); // 送信開始
    const std::size_t end = log.find(subject + "\x91\x97\x90\x4d\x8f\x49\x97\xb9\t");     // 送信終了
    ASSERT_NE(start, std::string::npos) << log;
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(start, end);
}
