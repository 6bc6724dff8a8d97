#pragma once

// The command language of the server mode: which command a received command
// program holds, and with which names.
//
// A command program is read line by line. "%" lines are skipped, comments in
// round brackets removed, trailing blanks cut; then the command words are
// looked for anywhere in the line in a fixed order, and the first found
// decides (the rename word before the delete word: "RN/OLD/NEW" holds "D/").

#include "core/server/ServerFolder.h"
#include "core/settings/SessionSettings.h"

#include <string>
#include <string_view>

namespace maroka::server {

// The decided command; the numbers are those the server has always used.
enum class ServerCommand {
    None = 0,
    CallWithoutName = 1,
    Call = 2,
    Save = 3,
    FileList = 4,
    Mail = 5,
    CallNotFound = 6,
    Refused = 7, // a save, delete or rename naming something outside the folder, or a name a reply could not carry
    ErrorLog = 8,
    Delete = 9,
    Rename = 10,
};

// The command words of the settings, in CP932 as they appear in NC data.
struct CommandWords {
    std::string call;
    std::string handyOn;
    std::string handyOff;
    std::string save;
    std::string list;
    std::string errorLog;
    std::string remove;
    std::string rename;
    std::string renameSeparator;
    std::string mail;

    static CommandWords FromSettings(const settings::SessionSettings& settings);
};

struct CommandAnalysis {
    ServerCommand command = ServerCommand::None;
    std::string kindBox;        // "CALL COMMAND", ...; empty when no command was found
    std::string commLogSubject; // UTF-8
    std::string replyText;      // CP932: the comment line of a reply program
    // Paths as shown and logged: folder + "/" + the name as the machine sent it.
    std::string calledFilePath;
    std::string saveFilePath;
    std::string deleteFilePath;
    std::string renameFromPath;
    std::string renameToPath;
    // Names (UTF-8) the folder operations take.
    std::string calledFile; // the real path of the called file
    std::string deleteName;
    std::string renameFrom;
    std::string renameTo;
    std::string mailCommandText;     // UTF-8
    bool skipCycleStartWait = false; // the M198 call form sends at once
    bool unsafeName = false;         // a name was refused
    bool ambiguousName = false;      // a called name matched several files without regard to case
    std::string refusalWord;         // Refused: the error-log word that says why
    int unclosedComments = 0;        // lines read that had a "(" without ")"
};

// Decides the command of `commandText` (the command file's bytes).
CommandAnalysis AnalyseCommand(std::string_view commandText, const CommandWords& words, const ServerFolder& folder);

} // namespace maroka::server
