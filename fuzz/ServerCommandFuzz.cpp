// Runs the server's command analysis on random command files, with the
// default command words or words taken from the input. Whatever the machine
// sends, a name that reaches a folder operation must be one that can only
// mean an entry directly in the folder, and a refusal always says so.

#include "FuzzFile.h"

#include "core/server/ServerCommand.h"
#include "core/settings/SessionSettings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace {

using namespace maroka::server;

const std::string& Folder()
{
    static const std::string folder = [] {
        const std::string& path = maroka::fuzz::ScratchFolder();
        for (const char* name : {"O1000.NC", "prog", "R"})
            std::ofstream(path + "/" + name) << "%\nG0X1\n%\n";
        if (mkdir((path + "/SUB").c_str(), 0700) != 0 || symlink("/etc/passwd", (path + "/LINK").c_str()) != 0)
            std::abort();
        return path;
    }();
    return folder;
}

// Ten words separated by 0x01, from the front of the input up to "\0".
CommandWords WordsFrom(std::string_view& input)
{
    const std::size_t end = input.find('\0');
    std::string_view head = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    std::string fields[10];
    for (std::string& field : fields) {
        const std::size_t cut = head.find('\x01');
        field = head.substr(0, cut);
        head.remove_prefix(cut == std::string_view::npos ? head.size() : cut + 1);
    }
    return CommandWords{fields[0], fields[1], fields[2], fields[3], fields[4],
                        fields[5], fields[6], fields[7], fields[8], fields[9]};
}

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void RequireUsable(const std::string& name)
{
    Require(name.empty() || ServerFolder::IsSafeName(name));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    static const CommandWords defaults = CommandWords::FromSettings(maroka::settings::SessionSettings{});
    const CommandWords words = (data[0] & 1) ? WordsFrom(input) : defaults;
    static const ServerFolder folder(Folder());

    const CommandAnalysis result = AnalyseCommand(input, words, folder);

    Require(result.kindBox.empty() == (result.command == ServerCommand::None));
    Require((result.command == ServerCommand::Refused) <= result.unsafeName);
    RequireUsable(result.deleteName);
    RequireUsable(result.renameFrom);
    RequireUsable(result.renameTo);
    if (result.command == ServerCommand::Save) {
        const std::string prefix = folder.Path() + "/";
        Require(result.saveFilePath.rfind(prefix, 0) == 0);
        Require(ServerFolder::IsSafeName(std::string_view(result.saveFilePath).substr(prefix.size())));
    }
    if (result.command == ServerCommand::Call) {
        const std::string prefix = folder.Path() + "/";
        Require(result.calledFile.rfind(prefix, 0) == 0);
        const std::string name = result.calledFile.substr(prefix.size());
        Require(ServerFolder::IsSafeName(name) && name != "SUB" && name != "LINK");
    }
    return 0;
}
