// The server's command language, its folder and its reply programs, without
// a line: what a command program decides, which names are used, and the
// bytes of the replies.

#include "core/server/ServerCommand.h"
#include "core/logs/LogMessages.h"
#include "core/server/ReplyProgram.h"
#include "core/server/ReplyText.h"
#include "core/server/ServerFolder.h"
#include "core/server/ServerMessages.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <set>
#include <thread>

using namespace maroka;
using namespace maroka::server;
using maroka::test::TempDir;
using maroka::test::WriteFileBytes;

namespace {

struct Analysis : ::testing::Test {
    CommandAnalysis Analyse(const std::string& line)
    {
        return AnalyseCommand("%\r\n" + line + "\r\n%\r\n", words, folder);
    }
    void Touch(const std::string& name) { WriteFileBytes(dir / name, "%\r\nO1\r\n%\r\n"); }

    TempDir dir;
    ServerFolder folder{dir.Path().string()};
    CommandWords words = CommandWords::FromSettings(settings::SessionSettings{});
};

} // namespace

TEST_F(Analysis, CallFindsTheFileExactlyOrWithoutRegardToCase)
{
    Touch("O1234.NC");
    Touch("o5678.nc");
    auto call = Analyse("R/O1234.NC");
    EXPECT_EQ(call.command, ServerCommand::Call);
    EXPECT_EQ(call.commLogSubject, "CALL[O1234.NC]");
    EXPECT_EQ(call.calledFile, (dir / "O1234.NC").string());
    EXPECT_FALSE(call.skipCycleStartWait);
    EXPECT_EQ(call.kindBox, "CALL COMMAND");

    call = Analyse("N10R/O5678.NC");
    EXPECT_EQ(call.command, ServerCommand::Call);
    EXPECT_EQ(call.calledFile, (dir / "o5678.nc").string());
    // Shown and logged as the machine sent it.
    EXPECT_EQ(call.calledFilePath, (dir / "O5678.NC").string());
    EXPECT_EQ(call.commLogSubject, "CALL[O5678.NC]");
}

TEST_F(Analysis, TheM198FormsSkipTheCycleStartWait)
{
    Touch("O1234");
    words.handyOn = "[";
    words.handyOff = "]";
    auto call = Analyse("M198[O1234]");
    EXPECT_EQ(call.command, ServerCommand::Call);
    EXPECT_TRUE(call.skipCycleStartWait);

    call = Analyse("M198&HO1234:");
    EXPECT_EQ(call.command, ServerCommand::Call);
    EXPECT_TRUE(call.skipCycleStartWait);

    call = Analyse("&HO9999:");
    EXPECT_EQ(call.command, ServerCommand::CallNotFound);
    EXPECT_TRUE(call.skipCycleStartWait);
    // The reply names the call word also for the M198 forms.
    EXPECT_EQ(call.replyText, "(R/O9999 IS NOT FOUND)");
    EXPECT_EQ(call.commLogSubject, "NO CALLED FILE");
}

TEST_F(Analysis, AnOpeningWordWithoutItsClosingWordNamesNoFile)
{
    Touch("O1234");
    auto call = Analyse("&HO1234");
    EXPECT_EQ(call.command, ServerCommand::CallWithoutName);
    EXPECT_EQ(call.replyText, "(R/ NO CALLED FILE NAME)");
    EXPECT_EQ(call.commLogSubject, "NO CALLED FILE NAME");
    // With the call word as well, the plain call decides.
    call = Analyse("&HR/O1234");
    EXPECT_EQ(call.command, ServerCommand::Call);
    EXPECT_FALSE(call.skipCycleStartWait);
}

TEST_F(Analysis, WordsAreTriedInTheirOrderAndCommentsAndPercentLinesAreSkipped)
{
    EXPECT_EQ(Analyse("(R/O1234)").command, ServerCommand::None);
    EXPECT_EQ(Analyse("(R/O1234)").commLogSubject, "NO COMMAND");
    EXPECT_EQ(Analyse("%R/O1").command, ServerCommand::None);
    // A comment goes, the command after it stays.
    EXPECT_EQ(Analyse("(NOTE)L/").command, ServerCommand::FileList);
    // The first deciding line wins; later lines are not read.
    const auto first = AnalyseCommand("%\r\n\r\nO0001\r\nL/\r\nD/X\r\n%\r\n", words, folder);
    EXPECT_EQ(first.command, ServerCommand::FileList);
    EXPECT_EQ(first.replyText, "([SEARCH_FILE_LIST])");
    EXPECT_EQ(first.commLogSubject, "CALL_LIST");
    // Call before save before list before the error log.
    EXPECT_EQ(Analyse("L/S/R/").command, ServerCommand::CallWithoutName);
    EXPECT_EQ(Analyse("P/L/S/A").command, ServerCommand::Save);
    EXPECT_EQ(Analyse("P/L/").command, ServerCommand::FileList);
    const auto log = Analyse("P/");
    EXPECT_EQ(log.command, ServerCommand::ErrorLog);
    EXPECT_EQ(log.replyText, "([ERROR_LOG_REPORT])");
    EXPECT_EQ(log.commLogSubject, "CALL_ERR_LOG");
    // An unclosed comment leaves the line as it is, and is counted for the message.
    const auto unclosed = Analyse("(NOTE L/");
    EXPECT_EQ(unclosed.command, ServerCommand::FileList);
    EXPECT_EQ(unclosed.unclosedComments, 1);
}

TEST_F(Analysis, AnEmptyCommandWordMatchesEveryLine)
{
    words.list.clear();
    const auto any = Analyse("O0001");
    EXPECT_EQ(any.command, ServerCommand::FileList);
    words.list = "L/";
    words.call.clear();
    const auto call = Analyse("O0001");
    EXPECT_EQ(call.command, ServerCommand::CallNotFound);
    EXPECT_EQ(call.replyText, "(O0001 IS NOT FOUND)");
}

TEST_F(Analysis, SaveMakesAUniqueName)
{
    auto save = Analyse("S/N.NC");
    EXPECT_EQ(save.command, ServerCommand::Save);
    EXPECT_EQ(save.saveFilePath, (dir / "N.NC").string());
    Touch("n.nc");
    save = Analyse("S/N.NC");
    EXPECT_EQ(save.saveFilePath, (dir / "N-01.NC").string());
    EXPECT_EQ(save.commLogSubject, "SAVE[N-01.NC]");

    save = Analyse("S/");
    EXPECT_EQ(save.saveFilePath, (dir / "UNTITLED").string());
    Touch("UNTITLED");
    EXPECT_EQ(Analyse("S/").saveFilePath, (dir / "UNTITLED-01").string());
}

TEST_F(Analysis, MakeUniqueNameCountsOnWithTwoDigitsAtLeast)
{
    Touch("A.NC");
    Touch("A-01.NC");
    EXPECT_EQ(folder.MakeUniqueName("A.NC"), "A-02.NC");
    for (int k = 2; k <= 99; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "A-%02d.NC", k);
        Touch(name);
    }
    EXPECT_EQ(folder.MakeUniqueName("A.NC"), "A-100.NC");
    // A folder of that name takes the name as well.
    std::filesystem::create_directory(dir / "P.D");
    EXPECT_EQ(folder.MakeUniqueName("P.D"), "P-01.D");
}

TEST_F(Analysis, TwoSaversOnOneFolderNeverGetTheSameFile)
{
    // Two servers on different ports share the folder; each thread stands
    // for one of them and saves under the same name again and again.
    constexpr int kSaves = 40;
    std::vector<std::string> names[2];
    std::atomic<bool> go{false};
    std::vector<std::thread> savers;
    for (auto& list : names) {
        savers.emplace_back([&, list = &list] {
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < kSaves; ++i) {
                const ServerFolder::Created created = folder.CreateUniqueFile("SAME.NC");
                EXPECT_EQ(created.error, 0);
                list->push_back(created.name);
            }
        });
    }
    go = true;
    for (auto& saver : savers)
        saver.join();
    std::set<std::string> all(names[0].begin(), names[0].end());
    all.insert(names[1].begin(), names[1].end());
    EXPECT_EQ(all.size(), 2u * kSaves);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2 * kSaves);
    // A name that cannot be created is reported, not retried for ever.
    EXPECT_EQ(folder.CreateUniqueFile(std::string(300, 'N')).error, ENAMETOOLONG);
}

TEST_F(Analysis, DeleteRenameAndMailTakeTheTextAfterTheirWord)
{
    const auto remove = Analyse("D/OLD.NC");
    EXPECT_EQ(remove.command, ServerCommand::Delete);
    EXPECT_EQ(remove.deleteName, "OLD.NC");
    EXPECT_EQ(remove.commLogSubject, "DELETE[OLD.NC]");

    const auto rename = Analyse("RN/A.NC/B.NC");
    EXPECT_EQ(rename.command, ServerCommand::Rename);
    EXPECT_EQ(rename.renameFrom, "A.NC");
    EXPECT_EQ(rename.renameTo, "B.NC");
    EXPECT_EQ(rename.commLogSubject, "RENAME[A.NC]TO[B.NC]");

    // "RN/OLD/NEW" holds "D/": still a rename, never a delete.
    const auto old = Analyse("RN/OLD/NEW");
    EXPECT_EQ(old.command, ServerCommand::Rename);
    EXPECT_EQ(old.renameFrom, "OLD");

    const auto noSeparator = Analyse("RN/ONLY");
    EXPECT_EQ(noSeparator.command, ServerCommand::Rename);
    EXPECT_EQ(noSeparator.renameFrom, "");
    EXPECT_EQ(noSeparator.commLogSubject, "RENAME[]TO[]");

    const auto mail = Analyse("M/CYCLE END \x83\x65\x83\x58\x83\x67");
    EXPECT_EQ(mail.command, ServerCommand::Mail);
    EXPECT_EQ(mail.mailCommandText, "CYCLE END テスト");
    EXPECT_EQ(mail.commLogSubject, "MAIL-COMMAND");
    EXPECT_EQ(Analyse("M/").mailCommandText, "");
}

TEST_F(Analysis, NamesThatReachOutsideTheFolderAreRefused)
{
    const std::string outside = (dir.Path().parent_path() / "escape.nc").string();
    for (const std::string name : {"../escape.nc", "/etc/passwd", "SUB/X.NC", "..", "A\\B", "X..Y"}) {
        const auto call = Analyse("R/" + name);
        EXPECT_EQ(call.command, ServerCommand::CallNotFound) << name;
        EXPECT_TRUE(call.unsafeName) << name;
        EXPECT_EQ(call.replyText, "(R/" + name + " IS NOT FOUND)");
        EXPECT_EQ(Analyse("S/" + name).command, ServerCommand::Refused) << name;
        EXPECT_EQ(Analyse("D/" + name).command, ServerCommand::Refused) << name;
        EXPECT_EQ(Analyse("RN/A.NC/" + name).command, ServerCommand::Refused) << name;
    }
    // A link in the folder that leads outside is not a file of the folder.
    WriteFileBytes(outside, "SECRET");
    std::filesystem::create_symlink(outside, dir / "LINK.NC");
    EXPECT_EQ(Analyse("R/LINK.NC").command, ServerCommand::CallNotFound);
    EXPECT_EQ(folder.Delete("LINK.NC"), ServerFolder::Outcome::NotFound);
    EXPECT_TRUE(folder.ListFiles().empty());
    std::filesystem::remove(outside);
}

TEST_F(Analysis, ListHoldsPlainVisibleFilesSortedWithoutRegardToCase)
{
    Touch("b.nc");
    Touch("A.NC");
    Touch("C.nc");
    Touch(".hidden");
    std::filesystem::create_directory(dir / "SUB");
    std::filesystem::create_symlink(dir / "A.NC", dir / "a-link.nc");
    EXPECT_EQ(folder.ListFiles(), (std::vector<std::string>{"a-link.nc", "A.NC", "b.nc", "C.nc"}));
}

TEST_F(Analysis, DeleteAndRenameNeverTouchAnythingButTheNamedFile)
{
    Touch("A.NC");
    Touch("B.NC");
    EXPECT_EQ(folder.Rename("a.nc", "b.nc"), ServerFolder::Outcome::Failed);
    EXPECT_EQ(folder.Rename("A.NC", "B.NC"), ServerFolder::Outcome::Failed);
    EXPECT_EQ(test::ReadFileBytes(dir / "B.NC"), "%\r\nO1\r\n%\r\n");
    EXPECT_EQ(folder.Rename("MISSING", "C.NC"), ServerFolder::Outcome::NotFound);
    EXPECT_EQ(folder.Rename("A.NC", "C.NC"), ServerFolder::Outcome::Done);
    EXPECT_TRUE(std::filesystem::exists(dir / "C.NC"));
    // The same file under another case is a rename, not a clash.
    EXPECT_EQ(folder.Rename("C.NC", "c.nc"), ServerFolder::Outcome::Done);
    EXPECT_TRUE(std::filesystem::exists(dir / "c.nc"));

    std::filesystem::create_directory(dir / "DIR");
    EXPECT_EQ(folder.Delete("DIR"), ServerFolder::Outcome::NotFound);
    EXPECT_EQ(folder.Delete(""), ServerFolder::Outcome::NotFound);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "DIR"));
    EXPECT_EQ(folder.Delete("b.NC"), ServerFolder::Outcome::Done);
    EXPECT_FALSE(std::filesystem::exists(dir / "B.NC"));
}

TEST_F(Analysis, ReplyProgramsHaveTheirLinesNamesAndErrorLogWords)
{
    auto reply = BuildReplyProgram(Analyse("R/"), {}, std::nullopt);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Bytes(), "%\r\n(R/ NO CALLED FILE NAME)\r\nM30\r\n%\r\n");
    EXPECT_EQ(reply->displayName, "NO_FILE_NAME_ERROR");
    EXPECT_EQ(reply->commLogSubject, "NO_FILE_NAME_MASSAGE");
    EXPECT_EQ(reply->errorLogWord, logs::kErrNoCallFile);

    reply = BuildReplyProgram(Analyse("R/O1"), {}, std::nullopt);
    EXPECT_EQ(reply->Bytes(), "%\r\n(R/O1 IS NOT FOUND)\r\nM30\r\n%\r\n");
    EXPECT_EQ(reply->displayName, "FILE_NOT_FOUND_ERROR");
    EXPECT_EQ(reply->commLogSubject, "FILE_NOT_FOUND_MASSAGE");
    EXPECT_EQ(reply->errorLogWord, logs::kErrCallFileNotFound);
    EXPECT_EQ(BuildReplyProgram(Analyse("R/../O1"), {}, std::nullopt)->errorLogWord, msg::kErrUnsafeFileName);

    reply = BuildReplyProgram(Analyse("L/"), {"A.NC", "ｶﾅ.NC"}, std::nullopt);
    EXPECT_EQ(reply->Bytes(),
              "%\r\n([SEARCH_FILE_LIST])\r\n(A.NC)\r\n(\xB6\xC5.NC)\r\n([SEARCH_FILE_LIST_END])\r\nM30\r\n%\r\n");
    EXPECT_EQ(reply->displayName, "FILE_LIST");
    EXPECT_TRUE(reply->errorLogWord.empty());

    reply = BuildReplyProgram(Analyse("P/"), {}, std::nullopt);
    EXPECT_EQ(reply->Bytes(), "%\r\n(NO_ERROR)\r\n%\r\n");
    EXPECT_EQ(reply->displayName, "ERROR_LOG_LIST");
    EXPECT_EQ(reply->commLogSubject, "ERROR_LOG");
    reply = BuildReplyProgram(Analyse("P/"), {}, std::vector<std::string>{"T1\t\tNO_CALL_FILE"});
    EXPECT_EQ(reply->Bytes(), "%\r\nT1\t\tNO_CALL_FILE\r\n%\r\n");

    EXPECT_FALSE(BuildReplyProgram(Analyse("D/X"), {}, std::nullopt));
}

TEST(ReplyText, NothingCanLeaveTheCommentOfAReply)
{
    EXPECT_EQ(InertCommentText("X)G28Z0(.NC"), "X]G28Z0[.NC");
    EXPECT_EQ(InertCommentText("P%Q\r\nM30"), "P_Q__M30");
    // A two-byte character stays whole, even with a trail byte that is a
    // letter; a lead byte without its trail would swallow the ")" after it.
    EXPECT_EQ(InertCommentText("\x83\x41(\x8c"), "\x83\x41[_");
    EXPECT_EQ(InertCommentText("\x8c("), "_[");
    EXPECT_TRUE(IsInertCommentText("O1234.NC\x83\x65\x83\x58\x83\x67"));
    for (const char* name : {"A(B", "A)B", "50%", "\x8c", "A\tB"})
        EXPECT_FALSE(IsInertCommentText(name)) << name;
}
