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

TEST_F(Analysis, CallFindsTheFileWithoutRegardToCase)
{
    Touch("o5678.nc");
    const auto call = Analyse("N10R/O5678.NC");
    EXPECT_EQ(call.command, ServerCommand::Call);
    EXPECT_EQ(call.calledFile, (dir / "o5678.nc").string());
    // Shown and logged as the machine sent it.
    EXPECT_EQ(call.calledFilePath, (dir / "O5678.NC").string());
    EXPECT_EQ(call.commLogSubject, "CALL[O5678.NC]");
}

TEST_F(Analysis, TheFirstDecidingLineAndTheFirstWordInTheirOrderDecide)
{
    Touch("O1234");
    using enum ServerCommand;
    const struct {
        const char* line;
        ServerCommand command;
        const char* reply;
        const char* subject;
        bool skipCycleStartWait;
    } cases[] = {
        // The M198 forms skip the cycle start wait; their reply names the call word.
        {"M198&HO1234:", Call, "", "CALL[O1234]", true},
        {"&HO9999:", CallNotFound, "(R/O9999 IS NOT FOUND)", "NO CALLED FILE", true},
        // An opening word without its closing word names no file; with the
        // call word as well, the plain call decides.
        {"&HO1234", CallWithoutName, "(R/ NO CALLED FILE NAME)", "NO CALLED FILE NAME", false},
        {"&HR/O1234", Call, "", "CALL[O1234]", false},
        // Comments and percent lines are skipped; a command after a comment stays.
        {"(R/O1234)", None, "", "NO COMMAND", false},
        {"%R/O1", None, "", "NO COMMAND", false},
        {"(NOTE)L/", FileList, "([SEARCH_FILE_LIST])", "CALL_LIST", false},
        // Call before save before list before the error log.
        {"L/S/R/", CallWithoutName, "(R/ NO CALLED FILE NAME)", "NO CALLED FILE NAME", false},
        {"P/L/S/A", Save, "", "SAVE[A]", false},
        {"P/L/", FileList, "([SEARCH_FILE_LIST])", "CALL_LIST", false},
        {"P/", ErrorLog, "([ERROR_LOG_REPORT])", "CALL_ERR_LOG", false},
        {"D/OLD.NC", Delete, "", "DELETE[OLD.NC]", false},
        {"RN/A.NC/B.NC", Rename, "", "RENAME[A.NC]TO[B.NC]", false},
        // It holds the delete word "D/", and is still a rename.
        {"RN/OLD/NEW", Rename, "", "RENAME[OLD]TO[NEW]", false},
        {"RN/ONLY", Rename, "", "RENAME[]TO[]", false},
        {"M/CYCLE END \x83\x65\x83\x58\x83\x67", Mail, "", "MAIL-COMMAND", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto analysis = Analyse(c.line);
        EXPECT_EQ(analysis.command, c.command);
        EXPECT_EQ(analysis.replyText, c.reply);
        EXPECT_EQ(analysis.commLogSubject, c.subject);
        EXPECT_EQ(analysis.skipCycleStartWait, c.skipCycleStartWait);
    }
    // The first deciding line wins; later lines are not read.
    EXPECT_EQ(AnalyseCommand("%\r\n\r\nO0001\r\nL/\r\nD/X\r\n%\r\n", words, folder).command, FileList);
    // An unclosed comment leaves the line as it is, and is counted for the message.
    const auto unclosed = Analyse("(NOTE L/");
    EXPECT_EQ(unclosed.command, FileList);
    EXPECT_EQ(unclosed.unclosedComments, 1);
    // The configured M198 words.
    words.handyOn = "[";
    words.handyOff = "]";
    for (const char* line : {"M198[O1234]", "M198&HO1234:"}) {
        EXPECT_EQ(Analyse(line).command, Call) << line;
        EXPECT_TRUE(Analyse(line).skipCycleStartWait) << line;
    }

    // The mail text after the word, from the machine's Shift-JIS into UTF-8.
    EXPECT_EQ(Analyse("M/CYCLE END \x83\x65\x83\x58\x83\x67").mailCommandText, "CYCLE END テスト");
    EXPECT_EQ(Analyse("M/").mailCommandText, "");
}

TEST_F(Analysis, AnEmptyCommandWordMatchesEveryLine)
{
    words.list.clear();
    EXPECT_EQ(Analyse("O0001").command, ServerCommand::FileList);
    // Even the machine's own first line, its DC2 and "%".
    EXPECT_EQ(AnalyseCommand("\x12%\r\nR/O1\r\n%\r\n", words, folder).command, ServerCommand::FileList);
    words.list = "L/";
    words.call.clear();
    const auto call = Analyse("O0001");
    EXPECT_EQ(call.command, ServerCommand::CallNotFound);
    EXPECT_EQ(call.replyText, "(O0001 IS NOT FOUND)");
}

TEST_F(Analysis, SaveMakesAUniqueNameCountingOnWithTwoDigitsAtLeast)
{
    EXPECT_EQ(Analyse("S/N.NC").saveFilePath, (dir / "N.NC").string());
    Touch("n.nc");
    const auto save = Analyse("S/N.NC");
    EXPECT_EQ(save.command, ServerCommand::Save);
    EXPECT_EQ(save.saveFilePath, (dir / "N-01.NC").string());
    EXPECT_EQ(save.commLogSubject, "SAVE[N-01.NC]");
    EXPECT_EQ(Analyse("S/").saveFilePath, (dir / "UNTITLED").string());
    Touch("UNTITLED");
    EXPECT_EQ(Analyse("S/").saveFilePath, (dir / "UNTITLED-01").string());

    Touch("A.NC");
    Touch("A-01.NC");
    EXPECT_EQ(folder.MakeUniqueName("A.NC"), "A-02.NC");
    for (int k = 2; k <= 99; ++k)
        Touch("A-" + std::string(k < 10 ? "0" : "") + std::to_string(k) + ".NC");
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
    // Names that would put text outside the comment of a list reply.
    for (const std::string name : {"S/X)G28Z0(.NC", "S/P%Q.NC", "RN/A%B/Z)G1("}) {
        const auto refused = Analyse(name);
        EXPECT_EQ(refused.command, ServerCommand::Refused) << name;
        EXPECT_EQ(refused.refusalWord, msg::kErrNameNotListable) << name;
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
    EXPECT_EQ(folder.Rename("A.NC", "C.NC"), ServerFolder::Outcome::Done);
    EXPECT_TRUE(std::filesystem::exists(dir / "C.NC"));
    // The same file under another case is a rename, not a clash.
    EXPECT_EQ(folder.Rename("C.NC", "c.nc"), ServerFolder::Outcome::Done);
    EXPECT_TRUE(std::filesystem::exists(dir / "c.nc"));

    std::filesystem::create_directory(dir / "DIR");
    EXPECT_EQ(folder.Delete("DIR"), ServerFolder::Outcome::NotFound);
    EXPECT_EQ(folder.Delete(""), ServerFolder::Outcome::NotFound);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "DIR"));

    // An exact name wins; several matches without regard to case name none.
    WriteFileBytes(dir / "prog.nc", "lower");
    WriteFileBytes(dir / "PROG.NC", "UPPER");
    EXPECT_EQ(folder.Rename("pROG.nc", "NEW.NC"), ServerFolder::Outcome::Ambiguous);
    const auto call = Analyse("R/Prog.nc");
    EXPECT_EQ(call.command, ServerCommand::CallNotFound);
    EXPECT_TRUE(call.ambiguousName);
    EXPECT_FALSE(std::filesystem::exists(dir / "NEW.NC"));
    EXPECT_EQ(folder.Delete("PROG.NC"), ServerFolder::Outcome::Done);
    EXPECT_EQ(test::ReadFileBytes(dir / "prog.nc"), "lower");
}

TEST_F(Analysis, ReplyProgramsHaveTheirLinesNamesAndErrorLogWords)
{
    Touch("prog.nc");
    Touch("PROG.NC");
    // Call failures: one comment, M30, and the word for the error log.
    const struct {
        const char* command;
        const char* comment;
        std::string_view word;
    } failures[] = {
        {"R/", "(R/ NO CALLED FILE NAME)", logs::msg::kErrNoCallFile},
        {"R/O1", "(R/O1 IS NOT FOUND)", logs::msg::kErrCallFileNotFound},
        {"R/../O1", "(R/../O1 IS NOT FOUND)", msg::kErrUnsafeFileName},
        {"R/Prog.nc", "(R/Prog.nc IS NOT FOUND)", msg::kErrAmbiguousName},
        // A name from the machine cannot close the comment and put a block in.
        {"R/Q)G28Z0(", "(R/Q]G28Z0[ IS NOT FOUND)", logs::msg::kErrCallFileNotFound},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.command);
        const auto reply = BuildReplyProgram(Analyse(c.command), {}, std::nullopt);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->Bytes(), "%\r\n" + std::string(c.comment) + "\r\nM30\r\n%\r\n");
        const bool named = c.word != logs::msg::kErrNoCallFile;
        EXPECT_EQ(reply->displayName, named ? "FILE_NOT_FOUND_ERROR" : "NO_FILE_NAME_ERROR");
        EXPECT_EQ(reply->commLogSubject, named ? "FILE_NOT_FOUND_MASSAGE" : "NO_FILE_NAME_MASSAGE");
        EXPECT_EQ(reply->errorLogWord, c.word);
    }

    const auto list = BuildReplyProgram(Analyse("L/"), {"A.NC", "ｶﾅ.NC", "Y)G0Z0(.NC"}, std::nullopt);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->Bytes(), "%\r\n([SEARCH_FILE_LIST])\r\n(A.NC)\r\n(\xB6\xC5.NC)\r\n(Y]G0Z0[.NC)\r\n"
                             "([SEARCH_FILE_LIST_END])\r\nM30\r\n%\r\n");
    EXPECT_EQ(list->displayName, "FILE_LIST");
    EXPECT_EQ(list->errorLogWord, "");
    for (const auto& [lines, bytes] :
         {std::pair{std::optional<std::vector<std::string>>(), "%\r\n(NO_ERROR)\r\n%\r\n"},
          {std::vector<std::string>{"T1\t\tNO_CALL_FILE"}, "%\r\nT1\t\tNO_CALL_FILE\r\n%\r\n"}}) {
        const auto report = BuildReplyProgram(Analyse("P/"), {}, lines);
        ASSERT_TRUE(report);
        EXPECT_EQ(report->Bytes(), bytes);
        EXPECT_EQ(report->displayName, "ERROR_LOG_LIST");
        EXPECT_EQ(report->commLogSubject, "ERROR_LOG");
        EXPECT_EQ(report->errorLogWord, "");
    }
    EXPECT_FALSE(BuildReplyProgram(Analyse("D/X"), {}, std::nullopt));
}

TEST(ReplyText, NothingCanLeaveTheCommentOfAReply)
{
    EXPECT_EQ(InertCommentText("P%Q\r\nM30"), "P_Q__M30");
    // A two-byte character stays whole, even with a trail byte that is a
    // letter; a lead byte without its trail would swallow the ")" after it.
    EXPECT_EQ(InertCommentText("\x83\x41(\x8c"), "\x83\x41[_");
    EXPECT_EQ(InertCommentText("\x8c("), "_[");
    EXPECT_TRUE(IsInertCommentText("O1234.NC\x83\x65\x83\x58\x83\x67"));
    for (const char* name : {"A(B", "A)B", "50%", "\x8c", "A\tB"})
        EXPECT_FALSE(IsInertCommentText(name)) << name;
}
