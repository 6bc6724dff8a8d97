#include "core/platform/ExternalProgram.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/time.h>

namespace maroka::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

fs::path WriteScript(const TempDir& dir, const std::string& name, const std::string& body)
{
    const fs::path path = dir / name;
    WriteFileBytes(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

settings::SessionSettings EditorSettings(const std::string& program)
{
    settings::SessionSettings s;
    s.editor = program;
    s.editorEnabled = true;
    return s;
}

// A program that cannot start fails as one that exits with an error; one
// that exits with 0 opened the file (below).
TEST(OpenWithExternal, AnErrorExitOrAProgramThatCannotStartFails)
{
    TempDir dir;
    const fs::path notExecutable = dir / "editor.txt";
    WriteFileBytes(notExecutable, "#!/bin/sh\nexit 0\n");
    ::chmod(notExecutable.c_str(), 0644);
    EXPECT_EQ(RunAndWait(notExecutable, {}).startError, EACCES);

    for (const fs::path& program : {fs::path("/bin/false"), notExecutable}) {
        const ExternalOpenResult result = OpenWithExternal(ExternalKind::Editor, "/tmp/x.nc", EditorSettings(program));
        EXPECT_EQ(result.outcome, ExternalOutcome::Failed) << program;
        EXPECT_EQ(result.message, "外部エディタで開けませんでした。");
    }
}

TEST(OpenWithExternal, ProgramMustExistBeforeItMustBeEnabled)
{
    TempDir dir;
    for (const std::string& program : {std::string(), (dir / "nothing").string(), dir.Path().string()}) {
        settings::SessionSettings s;
        s.viewer = program;
        s.viewerEnabled = false;
        const ExternalOpenResult result = OpenWithExternal(ExternalKind::Viewer, "/tmp/x.nc", s);
        EXPECT_EQ(result.outcome, ExternalOutcome::NotSet) << program;
        EXPECT_EQ(result.message, "外部VIEWERが設定されていません。");
    }

    const fs::path marker = dir / "ran";
    settings::SessionSettings s;
    s.otherApp = WriteScript(dir, "app", "touch '" + marker.string() + "'").string();
    s.otherAppEnabled = false;
    const ExternalOpenResult off = OpenWithExternal(ExternalKind::OtherApp, "/tmp/x.nc", s);
    EXPECT_EQ(off.outcome, ExternalOutcome::NotEnabled);
    EXPECT_EQ(off.message, "外部アプリが有効になっていません。");
    EXPECT_FALSE(fs::exists(marker)) << "a disabled program was started";

    s.otherAppEnabled = true;
    EXPECT_EQ(OpenWithExternal(ExternalKind::OtherApp, "/tmp/x.nc", s).outcome, ExternalOutcome::Opened);
    EXPECT_TRUE(fs::exists(marker));
}

TEST(OpenWithExternal, TheFileArrivesAsOneArgumentExactlyAsWritten)
{
    TempDir dir;
    const fs::path out = dir / "out";
    const fs::path editor = WriteScript(dir, "editor", "printf '%s|%s' \"$#\" \"$1\" > '" + out.string() + "'");
    const std::string file = (dir / "my \"part\" $HOME;'x' *.nc").string();

    const ExternalOpenResult result = OpenWithExternal(ExternalKind::Editor, file, EditorSettings(editor));
    EXPECT_EQ(result.outcome, ExternalOutcome::Opened);
    EXPECT_FALSE(result.message);
    EXPECT_EQ(ReadFileBytes(out), "1|" + file);
}

void OnAlarm(int) {}

// The parent blocks SIGTERM, which the child must not inherit, and takes an
// alarm now and then without SA_RESTART, so that waitpid sees EINTR.
TEST(RunAndWait, ReportsExitCodeAndKillingSignalWhateverTheParentsSignals)
{
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigset_t savedMask;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &term, &savedMask), 0);
    struct sigaction action {};
    action.sa_handler = OnAlarm;
    sigemptyset(&action.sa_mask);
    struct sigaction savedAction {};
    ASSERT_EQ(sigaction(SIGALRM, &action, &savedAction), 0);
    itimerval timer{};
    timer.it_value.tv_usec = 50000;
    timer.it_interval.tv_usec = 50000;
    setitimer(ITIMER_REAL, &timer, nullptr);

    const ProgramRun three = RunAndWait("/bin/sh", {"-c", "sleep 0.3; exit 3"});
    const ProgramRun killed = RunAndWait("/bin/sh", {"-c", "kill -TERM $$; exit 0"});

    timer = {};
    setitimer(ITIMER_REAL, &timer, nullptr);
    sigaction(SIGALRM, &savedAction, nullptr);
    pthread_sigmask(SIG_SETMASK, &savedMask, nullptr);
    EXPECT_TRUE(three.started);
    EXPECT_EQ(three.waitError, 0);
    EXPECT_EQ(three.exitCode, 3);
    EXPECT_FALSE(three.Succeeded());
    EXPECT_TRUE(killed.started);
    EXPECT_EQ(killed.signal, SIGTERM);
    EXPECT_FALSE(killed.Succeeded());
}

} // namespace
} // namespace maroka::platform
