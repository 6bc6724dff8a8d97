// The window's file, port and line commands, straight on the session.

#include "SessionFixture.h"

#include "core/logs/WorkFilePath.h"

#include <sys/stat.h>

using namespace maroka;
using maroka::test::ReadFileBytes;
using maroka::test::SessionFixture;
using maroka::test::WriteFileBytes;
using namespace std::chrono_literals;

namespace {

struct SessionCommands : SessionFixture {
    std::filesystem::path PreparedFile() const
    {
        return logs::WorkFilePath((dir / "bin" / "Maroka_Work").string(), logs::kSendFile, "FAKE0");
    }

    void SendA(session::Session& s)
    {
        ui.openFiles.push_back({(dir / "A.NC").string()});
        s.Send();
        ASSERT_TRUE(WaitIdle());
        ASSERT_TRUE(std::filesystem::exists(PreparedFile()));
    }
};

} // namespace

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

TEST_F(SessionCommands, ChoosingFilesWhileBusyIsRefused)
{
    auto& s = Start();
    s.MutableSettings().ignoreCycleStart = false;
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    ASSERT_TRUE(ui.PumpUntil([this] { return line->WaitingForEvent(); }, 5s));
    s.ChooseSendFiles();
    EXPECT_EQ(ui.OpenDialogs(), 1);
    EXPECT_EQ(ui.Messages().back(), "転送中です。ストップ・リセット(F5)で停止してから実行して下さい。");
    s.Reset();
    ASSERT_TRUE(WaitIdle());
}

TEST_F(SessionCommands, ClearingForgetsTheSelectionAndThePreparedFile)
{
    auto& s = Start();
    SendA(s);
    s.ClearFiles();
    EXPECT_FALSE(std::filesystem::exists(PreparedFile()));
    EXPECT_TRUE(ui.Saw("send-data-menu:off"));
    s.Send(); // nothing left to send: asks, and the cancelled dialog sends nothing
    EXPECT_EQ(ui.OpenDialogs(), 2);
    EXPECT_FALSE(s.TransferRunning());
    s.SaveSendFile();
    EXPECT_EQ(ui.Messages().back(), "送信ファイルがありません。");
}

TEST_F(SessionCommands, SavingThePreparedFileAddsTheCycleTimeAfterTheHeadLine)
{
    auto& s = Start();
    s.SaveSendFile();
    EXPECT_EQ(ui.Messages().back(), "送信ファイルがありません。");
    SendA(s);
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
}

TEST_F(SessionCommands, Dc2GoesOutAtOnceOnTheOpenLine)
{
    auto& s = Start();
    s.SendDc2();
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
