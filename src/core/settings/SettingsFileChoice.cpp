#include "core/settings/SettingsFileChoice.h"

#include "core/platform/ProgramFolder.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace maroka::settings {

namespace {

// ASCII letters only: every byte of a multi-byte UTF-8 character is 0x80 or
// above, so no part of one is touched.
std::string LowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::string_view FolderOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string_view FileNameOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The program's file name without its extension; a leading dot is part of
// the name, not an extension.
std::string_view ProgramStem(std::string_view programPath)
{
    const std::string_view name = FileNameOf(programPath);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return name;
    return name.substr(0, dot);
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

bool IsAbsolute(const char* path)
{
    return path != nullptr && path[0] == '/';
}

} // namespace

SettingsFileChoice ChooseSettingsFileIn(std::string_view settingsFolder, std::string_view programPath,
                                        std::span<const std::string> arguments)
{
    const std::string stem = LowerAscii(ProgramStem(programPath));
    SettingsFileChoice choice;
    choice.settingsFilePath = JoinPath(settingsFolder, stem + "0.ini");
    choice.instanceBase = JoinPath(settingsFolder, stem + "_");

    for (const std::string& argument : arguments) {
        const std::string lower = LowerAscii(argument);
        const std::size_t ini = lower.find("ini");
        if (ini != std::string::npos) {
            if (lower.find('/') == std::string::npos) {
                choice.settingsFilePath = choice.instanceBase + lower.substr(ini + 3) + ".ini";
                continue;
            }
        } else if (lower == "r" || lower == "-r") {
            choice.receiveAtStart = true;
            continue;
        }
        choice.startupFile = argument;
    }
    return choice;
}

std::string ConfigSettingsFolder()
{
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (IsAbsolute(configHome))
        return JoinPath(configHome, "maroka");
    const char* home = std::getenv("HOME");
    if (!IsAbsolute(home)) {
        const passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (!IsAbsolute(home))
        home = "/tmp";
    return JoinPath(JoinPath(home, ".config"), "maroka");
}

std::string SettingsFolderFor(std::string_view programPath)
{
    const std::string folder(FolderOf(programPath));
    if (platform::KeepsFilesBesideProgram(folder))
        return folder;
    return ConfigSettingsFolder();
}

SettingsFileChoice ChooseSettingsFile(std::string_view programPath, std::span<const std::string> arguments)
{
    const std::string folder = SettingsFolderFor(programPath);
    if (folder != FolderOf(programPath)) {
        // Creates each missing folder on the way; an existing one is fine,
        // and a failure shows up at the first save with its reason.
        for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
            const std::string part = folder.substr(0, slash);
            ::mkdir(part.c_str(), 0700);
            if (slash == std::string::npos)
                break;
        }
    }
    return ChooseSettingsFileIn(folder, programPath, arguments);
}

std::string SettingsFileLabel(std::string_view settingsFilePath)
{
    return std::string(FileNameOf(settingsFilePath));
}

} // namespace maroka::settings
