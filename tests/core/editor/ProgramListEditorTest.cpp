#include "core/editor/ProgramListEditor.h"

#include "core/logs/WorkFilePath.h"
#include "core/session/Session.h"
#include "core/settings/SettingsFile.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace maroka;

namespace {

// The editor window as plain data.
struct TextView final : editor::EditorView {
    std::vector<std::string> Lines() const override { return lines; }
    void SetLines(const std::vector<std::string>& text, std::size_t caret) override
    {
        lines = text;
        caretLine = caret;
        modified = true;
    }
    bool Modified() const override { return modified; }
    void SetModified(bool value) override { modified = value; }
    void SetCaption(const std::string& text) override { caption = text; }
    void SetStatus(const std::string& text) override { status = text; }
    void SetSendItemsEnabled(bool enabled) override { sendItems = enabled; }
    void CloseWindow() override {}

    std::vector<std::string> lines;
    std::size_t caretLine = 0;
    bool modified = false;
    std::string caption;
    std::string status;
    bool sendItems = false;
};

struct EditorFixture : ::testing::Test {
    EditorFixture()
    {
        std::filesystem::create_directories(dir / "bin");
        settings::SessionSettings initial;
        initial.startupPort = "ttyS9";
        EXPECT_FALSE(settings::SettingsFile((dir / "bin" / "maroka0.ini").string()).SaveSettings(initial));
        session::SessionOptions options;
        options.programPath = (dir / "bin" / "maroka").string();
        options.listPorts = [] { return std::vector<std::string>{}; };
        session = std::make_unique<session::Session>(ui, std::move(options));
        session->Construct();
        editor = std::make_unique<editor::ProgramListEditor>(view, *session, ui);
        editor->Shown();
        for (const char* name : {"A.NC", "B.NC", "C.NC"})
            test::WriteFileBytes(dir / name, "%\nO1\n%\n");
    }

    std::string Path(const char* name) const { return (dir / name).string(); }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    TextView view;
    std::unique_ptr<session::Session> session;
    std::unique_ptr<editor::ProgramListEditor> editor;
};

} // namespace

TEST_F(EditorFixture, DroppedFilesAreListedInDropOrderAndFollowTheCaret)
{
    editor->NewList();
    EXPECT_FALSE(view.sendItems);
    editor->FilesDropped({Path("C.NC"), Path("A.NC"), Path("B.NC")});
    EXPECT_TRUE(view.sendItems);
    EXPECT_FALSE(editor->SavedOnce());
    // A drop with the caret on the second line goes in front of it.
    editor->CaretMoved(1, view.lines[1]);
    EXPECT_EQ(view.status, " [2] A.NC");
    EXPECT_EQ(editor->CurrentLineFile(), Path("A.NC"));
    editor->FilesDropped({Path("B.NC")});
    EXPECT_EQ(view.lines, (std::vector<std::string>{Path("C.NC"), Path("B.NC"), Path("A.NC"), Path("B.NC")}));
    EXPECT_EQ(view.caretLine, 2u);
    // Nothing went to the main window yet.
    EXPECT_EQ(session->SendFileList(), std::nullopt);
}

TEST_F(EditorFixture, AListOpenedAsNewReplacesTheSendListAndAddInsertsAtTheCaret)
{
    test::WriteFileBytes(dir / "one.lst", Path("A.NC") + "\r\n" + Path("B.NC") + "\r\n");
    test::WriteFileBytes(dir / "two.lst", Path("C.NC") + "\nM30\n");
    session->TakeSendFileList({Path("C.NC")});
    ui.openFiles.push_back({Path("one.lst")});
    editor->OpenListAsNew();
    EXPECT_TRUE(ui.Saw("open-dialog: ファイルリスト新規読み込み　 Maroka ver 0.565"));
    EXPECT_EQ(session->Settings().listOpenFolder, dir.Path().string());
    EXPECT_EQ(session->Settings().listFilter, "すべてのファイル(*.*)|*;*.*|ユーザー設定(*.lst)|*.lst");

    // The data prepared for the list before the addition must not be sent.
    const std::string prepared = session->WorkFilePath(logs::kSendFile);
    test::WriteFileBytes(prepared, "%\nO1\n%\n");
    editor->CaretMoved(1, view.lines[1]);
    ui.openFiles.push_back({Path("two.lst")});
    editor->OpenListToAdd();
    EXPECT_FALSE(std::filesystem::exists(prepared));
    EXPECT_TRUE(ui.Saw("send-data-menu:on"));
    EXPECT_EQ(session->SendFileList(), (std::vector<std::string>{Path("A.NC"), Path("C.NC"), "M30", Path("B.NC")}));
    EXPECT_TRUE(view.modified);
}

TEST_F(EditorFixture, EnteringAnotherModeOffersToSaveAndDiscardsTheSelection)
{
    editor->FilesDropped({Path("A.NC")});
    session->TakeSendFileList({Path("A.NC")});
    ui.answers.push_back(MessageAnswer::No);
    editor->G65Main();
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"編集中のファイルを保存しますか?"});
    EXPECT_EQ(session->SendFileList(), std::nullopt);
    EXPECT_TRUE(view.lines.empty());
    EXPECT_EQ(view.caption, " G65[]メイン作成　 Maroka ver 0.565");
    // Already in G65 mode: the text stays.
    editor->FilesDropped({Path("B.NC")});
    ui.answers.push_back(MessageAnswer::No);
    editor->G65Main();
    EXPECT_EQ(view.lines.size(), 1u);
    // The list menu leaves G65 mode's text behind.
    ui.answers.push_back(MessageAnswer::No);
    editor->FileListMenu();
    EXPECT_TRUE(view.lines.empty());
    EXPECT_EQ(view.caption, " 送信ファイルリスト作成　 Maroka ver 0.565");
}

TEST_F(EditorFixture, SavingAsksAsTheTextStandsAndRemembersWhereItWent)
{
    editor->SaveFile();
    editor->SaveList();
    EXPECT_EQ(ui.Messages(),
              (std::vector<std::string>{"保存するファイルがありません。", "ファイルリストがありません。"}));

    editor->FilesDropped({Path("A.NC"), Path("B.NC")});
    view.modified = true;
    // Changed text: No and Cancel both stop before the dialog.
    ui.answers = {MessageAnswer::No, MessageAnswer::Cancel};
    editor->SaveFile();
    editor->SaveFile();
    EXPECT_FALSE(ui.Saw("save-dialog: ファイルリスト保存　 Maroka ver 0.565"));

    ui.answers = {MessageAnswer::Yes};
    ui.saveFiles.push_back(Path("saved.lst"));
    editor->SaveFile();
    EXPECT_EQ(test::ReadFileBytes(dir / "saved.lst"), Path("A.NC") + "\r\n" + Path("B.NC") + "\r\n");
    EXPECT_TRUE(editor->SavedOnce());
    EXPECT_FALSE(view.modified);
    EXPECT_EQ(session->Settings().listSaveFolder, dir.Path().string());

    // Unchanged and saved once: asked again; No keeps the file as it is.
    const std::size_t before = ui.Messages().size();
    ui.answers = {MessageAnswer::No};
    editor->SaveFile();
    ASSERT_EQ(ui.Messages().size(), before + 1);
    EXPECT_EQ(ui.Messages().back(), "再度、ファイルを保存しますか?");
    ui.answers = {MessageAnswer::Yes};
    ui.saveFiles.push_back(Path("again.lst"));
    editor->SaveFile();
    EXPECT_TRUE(std::filesystem::exists(dir / "again.lst"));
}

TEST_F(EditorFixture, SeveralFilesCannotBeHandedOverForANoConversionSend)
{
    editor->FilesDropped({Path("A.NC"), Path("B.NC")});
    session->MutableSettings().noConversionSend = true;
    ui.answers.push_back(MessageAnswer::No);
    EXPECT_FALSE(editor->HandOver());

    session->MutableSettings().noConversionSend = false;
    ui.answers.push_back(MessageAnswer::No);
    EXPECT_TRUE(editor->HandOver());
    EXPECT_EQ(session->SendFileList(), (std::vector<std::string>{Path("A.NC"), Path("B.NC")}));

    view.lines.clear();
    EXPECT_FALSE(editor->HandOver());
    EXPECT_EQ(ui.Messages().back(), "送信データがありません。");
}

TEST_F(EditorFixture, AnUnsavedG65MainGoesThroughTheWorkFileASavedOneAsItself)
{
    test::WriteFileBytes(dir / "SUB.NC", "O9000\nG01X#24F#9\nM99\n");
    editor->G65Main();
    editor->FilesDropped({Path("SUB.NC"), Path("A.NC")});
    const std::vector<std::string> calls{"G65[" + Path("SUB.NC") + "](#24 #9 )", "G65[" + Path("A.NC") + "]"};
    ASSERT_EQ(view.lines, calls);
    EXPECT_FALSE(view.sendItems); // only a plain list enables them on a drop

    ui.answers.push_back(MessageAnswer::No);
    ASSERT_TRUE(editor->HandOver());
    const std::string work = session->WorkFilePath(logs::kG65SendFile);
    EXPECT_TRUE(work.ends_with("/G65_SENDFILE.ttyS9"));
    EXPECT_EQ(session->SendFileList(), std::vector<std::string>{work});
    EXPECT_EQ(test::ReadFileBytes(work), calls[0] + "\r\n" + calls[1] + "\r\n");
    EXPECT_TRUE(view.sendItems);

    // Saved when offered: that file is sent, and it is what the next hand-over
    // offers to save again.
    ui.answers = {MessageAnswer::Yes};
    ui.saveFiles.push_back(Path("MAIN.NC"));
    ASSERT_TRUE(editor->HandOver());
    EXPECT_TRUE(ui.Saw("save-dialog: G65メインファイル保存　 Maroka ver 0.565"));
    EXPECT_EQ(session->SendFileList(), std::vector<std::string>{Path("MAIN.NC")});
    EXPECT_EQ(session->Settings().sendFileSaveFolder, dir.Path().string());
    EXPECT_EQ(test::ReadFileBytes(dir / "MAIN.NC"), test::ReadFileBytes(work));
    // Not saved this time: back to the work file.
    ui.answers = {MessageAnswer::No};
    ASSERT_TRUE(editor->HandOver());
    EXPECT_EQ(session->SendFileList(), std::vector<std::string>{work});
}

TEST_F(EditorFixture, InsertingAFileKeepsTheCaptionAndOpensTheCaretLinesFileOnADoubleClick)
{
    editor->NewList();
    const std::string caption = view.caption;
    ui.openFiles.push_back({Path("B.NC"), Path("A.NC")});
    editor->InsertFile();
    EXPECT_TRUE(ui.Saw("open-dialog: 挿入ファイルの選択　 Maroka ver 0.565"));
    EXPECT_EQ(view.caption, caption);
    EXPECT_EQ(view.lines, (std::vector<std::string>{Path("B.NC"), Path("A.NC")}));
    EXPECT_TRUE(view.sendItems);
    EXPECT_EQ(session->Settings().sendFileFilter, "すべてのファイル(*.*)|*;*.*|ユーザー設定(*.NC)|*.NC");
    // A cancelled dialog inserts nothing.
    editor->InsertFile();
    EXPECT_EQ(view.lines.size(), 2u);
    // A line naming no file opens nothing and says nothing.
    editor->DoubleClicked(0, "G65[" + Path("GONE.NC") + "]");
    EXPECT_TRUE(ui.Messages().empty());
    // No external editor is set up: the double click says so.
    editor->DoubleClicked(1, view.lines[1]);
    EXPECT_EQ(view.status, " [2] A.NC");
    EXPECT_EQ(ui.Messages().back(), "外部エディタが設定されていません。");
}
