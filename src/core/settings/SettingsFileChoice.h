#pragma once

// Which settings file an instance uses, from the program's path and its
// command line, and what else the command line asks for.
//
// The file is named after the program: "<name>0.ini", or "<name>_<suffix>.ini"
// for an argument containing "ini" (ini2 gives <name>_2.ini). The name we build
// is lower case; the folder is left as it is, since Linux paths are case
// sensitive. The folder is the program's own when the program may write
// there (a portable install), else $XDG_CONFIG_HOME/maroka (~/.config/maroka).

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace maroka::settings {

struct SettingsFileChoice {
    std::string settingsFilePath;           // the file in use
    std::string instanceBase;               // folder + "/" + lower-case program name + "_"
    bool receiveAtStart = false;            // an argument "r" or "-r" (any case)
    std::optional<std::string> startupFile; // the last other argument
};

// Pure: the choice with the file placed in `settingsFolder`. Each argument in
// turn: one whose lower-case form contains "ini" selects the instance by the
// text after that "ini" (a later one wins); "r" or "-r" sets receiveAtStart;
// anything else is the start-up file (a later one wins). An argument that
// holds a "/" is a path, so it is taken as the start-up file even with "ini"
// in it: a file such as /home/cnc/machining/o100.nc or /home/cnc/finish.nc,
// as a file manager passes it, must not pick the settings file.
SettingsFileChoice ChooseSettingsFileIn(std::string_view settingsFolder, std::string_view programPath,
                                        std::span<const std::string> arguments);

// The folder for the settings file of a program at `programPath`: the
// program's folder when it is writable and no system program folder (see
// platform::KeepsFilesBesideProgram), else ConfigSettingsFolder().
std::string SettingsFolderFor(std::string_view programPath);

// $XDG_CONFIG_HOME/maroka, or $HOME/.config/maroka when that is unset or not
// an absolute path.
std::string ConfigSettingsFolder();

// ChooseSettingsFileIn(SettingsFolderFor(programPath), ...). When the choice
// falls on the configuration folder it is created (mode 0700) if missing, so
// the first save has somewhere to go.
SettingsFileChoice ChooseSettingsFile(std::string_view programPath, std::span<const std::string> arguments);

// The file name without its folder, for the settings-file label.
std::string SettingsFileLabel(std::string_view settingsFilePath);

} // namespace maroka::settings
