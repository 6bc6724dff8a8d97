#include "core/transfer/ReplyProgram.h"

#include "core/logs/LogMessages.h"
#include "core/text/Encoding.h"
#include "core/transfer/ServerMessages.h"

namespace maroka::transfer {

std::string ReplyProgram::Bytes() const
{
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

std::optional<ReplyProgram> BuildReplyProgram(const CommandAnalysis& analysis,
                                              const std::vector<std::string>& fileNames,
                                              const std::optional<std::vector<std::string>>& errorLogLines)
{
    ReplyProgram reply;
    switch (analysis.command) {
    case ServerCommand::CallWithoutName:
        reply.lines = {server::kReplyPercent, analysis.replyText, server::kReplyEnd, server::kReplyPercent};
        reply.displayName = server::kDisplayNoFileName;
        reply.commLogSubject = server::kSubjectNoFileName;
        reply.errorLogWord = logs::kErrNoCallFile;
        break;
    case ServerCommand::CallNotFound:
        reply.lines = {server::kReplyPercent, analysis.replyText, server::kReplyEnd, server::kReplyPercent};
        reply.displayName = server::kDisplayFileNotFound;
        reply.commLogSubject = server::kSubjectFileNotFound;
        reply.errorLogWord = analysis.unsafeName ? server::kErrUnsafeFileName : logs::kErrCallFileNotFound;
        break;
    case ServerCommand::FileList:
        reply.lines = {server::kReplyPercent, analysis.replyText};
        for (const std::string& name : fileNames)
            reply.lines.push_back("(" + text::Utf8ToCp932Lossy(name) + ")");
        reply.lines.insert(reply.lines.end(), {server::kReplyFileListEnd, server::kReplyEnd, server::kReplyPercent});
        reply.displayName = server::kDisplayFileList;
        reply.commLogSubject = server::kSubjectFileList;
        break;
    case ServerCommand::ErrorLog:
        reply.lines = {server::kReplyPercent};
        if (errorLogLines)
            reply.lines.insert(reply.lines.end(), errorLogLines->begin(), errorLogLines->end());
        else
            reply.lines.push_back(server::kReplyNoError);
        reply.lines.push_back(server::kReplyPercent);
        reply.displayName = server::kDisplayErrorLog;
        reply.commLogSubject = server::kSubjectErrorLog;
        break;
    default:
        return std::nullopt;
    }
    return reply;
}

} // namespace maroka::transfer
