// The server's command analysis on random command files, and the reply it
// would send: whatever the machine sent, a reply holds no "%" line but its
// head and tail, and each line between is "M30" or one closed comment.

#include "FuzzFile.h"

#include "core/server/ReplyProgram.h"
#include "core/server/ServerCommand.h"
#include "core/settings/SessionSettings.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace maroka;

namespace {

void CheckInert(const server::ReplyProgram& reply)
{
    const auto& lines = reply.lines;
    if (lines.size() < 2 || lines.front() != "%" || lines.back() != "%")
        std::abort();
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line == "M30")
            continue;
        if (line.size() < 2 || line.front() != '(' || line.back() != ')' ||
            line.substr(1, line.size() - 2).find_first_of("()%\r\n") != std::string_view::npos)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const server::CommandWords words = server::CommandWords::FromSettings(settings::SessionSettings{});
    static const server::ServerFolder folder(fuzz::ScratchFolder());
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const server::CommandAnalysis analysis = server::AnalyseCommand(text, words, folder);
    if (analysis.command == server::ServerCommand::CallNotFound ||
        analysis.command == server::ServerCommand::CallWithoutName) {
        if (const auto reply = server::BuildReplyProgram(analysis, {}, std::nullopt))
            CheckInert(*reply);
    }
    // The machine's bytes as names of files in a list reply.
    server::CommandAnalysis list;
    list.command = server::ServerCommand::FileList;
    list.replyText = "([SEARCH_FILE_LIST])";
    if (const auto reply = server::BuildReplyProgram(list, {std::string(text)}, std::nullopt))
        CheckInert(*reply);
    return 0;
}
