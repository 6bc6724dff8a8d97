#pragma once

// Opening a file with one of the user's external programs (editor, viewer,
// other application) and waiting until that program ends.
//
// The program is started with posix_spawn and an argv array, never through a
// shell: the file travels as one argument exactly as it is, without the
// quotation marks a Windows command line would need around a path with
// spaces.

#include "core/settings/SessionSettings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::platform {

enum class ExternalKind {
    Editor,
    Viewer,
    OtherApp,
};

inline constexpr std::string_view kEditorNotSetMessage = "外部エディタが設定されていません。";
inline constexpr std::string_view kEditorNotEnabledMessage = "外部エディタが有効になっていません。";
inline constexpr std::string_view kEditorFailedMessage = "外部エディタで開けませんでした。";
inline constexpr std::string_view kViewerNotSetMessage = "外部VIEWERが設定されていません。";
inline constexpr std::string_view kViewerNotEnabledMessage = "外部VIEWERが有効になっていません。";
inline constexpr std::string_view kViewerFailedMessage = "外部VIEWERで開けませんでした。";
inline constexpr std::string_view kOtherAppNotSetMessage = "外部アプリが設定されていません。";
inline constexpr std::string_view kOtherAppNotEnabledMessage = "外部アプリが有効になっていません。";
inline constexpr std::string_view kOtherAppFailedMessage = "外部アプリで開けませんでした。";

// Where a kind keeps its program and its switch, and what it says.
struct ExternalKindInfo {
    std::string settings::SessionSettings::*program;
    bool settings::SessionSettings::*enabled;
    std::string_view notSetMessage;
    std::string_view notEnabledMessage;
    std::string_view failedMessage;
};

const ExternalKindInfo& ExternalKindTable(ExternalKind kind);

struct ProgramRun {
    bool started = false;
    int startError = 0; // errno when it could not be started
    int waitError = 0;  // errno when its end could not be awaited
    int exitCode = -1;  // its exit code when it ended normally
    int signal = 0;     // the signal that ended it, 0 if none

    bool Succeeded() const { return started && waitError == 0 && signal == 0 && exitCode == 0; }
};

// Starts `program` with argv {program, arguments...} and the caller's
// environment, with default signal handling and no blocked signals, and waits
// until it ends. Blocks the calling thread for as long as the program runs.
ProgramRun RunAndWait(const std::string& program, const std::vector<std::string>& arguments);

enum class ExternalOutcome {
    Opened,
    NotSet,
    NotEnabled,
    Failed,
};

struct ExternalOpenResult {
    ExternalOutcome outcome = ExternalOutcome::Opened;
    std::optional<std::string> message; // the message to show; none when opened
};

// Checks that the kind's program names an existing file and that it is
// enabled, runs it with argv {program, file} and waits. A program that
// cannot be started, is killed or ends with a non-zero code gives the
// kind's failed message.
ExternalOpenResult OpenWithExternal(ExternalKind kind, const std::string& file,
                                    const settings::SessionSettings& settings);

} // namespace maroka::platform
