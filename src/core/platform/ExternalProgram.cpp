#include "core/platform/ExternalProgram.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace maroka::platform {

namespace {

using settings::SessionSettings;

constexpr ExternalKindInfo kEditor{
    &SessionSettings::editor, &SessionSettings::editorEnabled, kEditorNotSetMessage, kEditorNotEnabledMessage,
    kEditorFailedMessage,
};

constexpr ExternalKindInfo kViewer{
    &SessionSettings::viewer, &SessionSettings::viewerEnabled, kViewerNotSetMessage, kViewerNotEnabledMessage,
    kViewerFailedMessage,
};

constexpr ExternalKindInfo kOtherApp{
    &SessionSettings::otherApp, &SessionSettings::otherAppEnabled, kOtherAppNotSetMessage, kOtherAppNotEnabledMessage,
    kOtherAppFailedMessage,
};

bool IsExistingFile(const std::string& path)
{
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// A front end may block signals in its threads or ignore SIGPIPE; the child
// must not inherit either.
class SpawnAttributes {
public:
    SpawnAttributes()
    {
        ok_ = ::posix_spawnattr_init(&attr_) == 0;
        if (!ok_)
            return;
        sigset_t none;
        sigemptyset(&none);
        sigset_t reset;
        sigemptyset(&reset);
        for (int signal : {SIGPIPE, SIGCHLD, SIGXFSZ})
            sigaddset(&reset, signal);
        ok_ = ::posix_spawnattr_setsigmask(&attr_, &none) == 0 &&
              ::posix_spawnattr_setsigdefault(&attr_, &reset) == 0 &&
              ::posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
    }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    const posix_spawnattr_t* Get() const { return ok_ ? &attr_ : nullptr; }

private:
    posix_spawnattr_t attr_{};
    bool ok_ = false;
};

} // namespace

const ExternalKindInfo& ExternalKindTable(ExternalKind kind)
{
    switch (kind) {
    case ExternalKind::Viewer:
        return kViewer;
    case ExternalKind::OtherApp:
        return kOtherApp;
    case ExternalKind::Editor:
        break;
    }
    return kEditor;
}

ProgramRun RunAndWait(const std::string& program, const std::vector<std::string>& arguments)
{
    ProgramRun run;
    std::vector<std::string> strings;
    strings.reserve(arguments.size() + 1);
    strings.push_back(program);
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(strings.size() + 1);
    for (auto& text : strings)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    SpawnAttributes attributes;
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.c_str(), nullptr, attributes.Get(), argv.data(), environ);
    if (error != 0) {
        run.startError = error;
        return run;
    }
    run.started = true;

    int status = 0;
    pid_t waited = 0;
    do {
        waited = ::waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        run.waitError = errno;
        return run;
    }
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.signal = WTERMSIG(status);
    return run;
}

ExternalOpenResult OpenWithExternal(ExternalKind kind, const std::string& file, const SessionSettings& settings)
{
    const ExternalKindInfo& info = ExternalKindTable(kind);
    const std::string& program = settings.*info.program;
    if (!IsExistingFile(program))
        return {ExternalOutcome::NotSet, std::string(info.notSetMessage)};
    if (!(settings.*info.enabled))
        return {ExternalOutcome::NotEnabled, std::string(info.notEnabledMessage)};
    if (!RunAndWait(program, {file}).Succeeded())
        return {ExternalOutcome::Failed, std::string(info.failedMessage)};
    return {ExternalOutcome::Opened, std::nullopt};
}

} // namespace maroka::platform
