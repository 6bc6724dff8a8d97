#pragma once

// The folder that holds the program's own files: logs, the command file, the
// mail text and the prepared send files.
//
// Beside the program ("<program folder>/Maroka_Work") when the program's
// folder is writable and no system program folder, as for a portable
// install; otherwise
// "$XDG_DATA_HOME/maroka/Maroka_Work" (default ~/.local/share/...).

#include <string>
#include <string_view>

namespace maroka::logs {

inline constexpr std::string_view kWorkFolderName = "Maroka_Work";

// Where the fallback folder lives. Empty members mean "not set".
struct WorkFolderPlaces {
    std::string xdgDataHome;
    std::string home;

    // Read from XDG_DATA_HOME and HOME (the password database when HOME is unset).
    static WorkFolderPlaces FromEnvironment();
};

struct WorkFolderResult {
    std::string path;   // the work folder, also when it could not be made
    bool ready = false; // it exists as a folder (was there or has been made)
};

// Finds the work folder for the program at `programPath` and makes it when it
// is missing: one level beside the program, with its parents in the data
// folder. On failure show msg::WorkFolderNotCreatedMessage(result.path).
WorkFolderResult PrepareWorkFolder(std::string_view programPath, const WorkFolderPlaces& places);
WorkFolderResult PrepareWorkFolder(std::string_view programPath);

} // namespace maroka::logs
