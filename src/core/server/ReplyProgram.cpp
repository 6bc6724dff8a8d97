#include "core/server/ReplyProgram.h"

#include "core/logs/LogMessages.h"
#include "core/server/ReplyText.h"
#include "core/server/ServerMessages.h"
#include "core/text/Encoding.h"

namespace maroka::server {

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
        reply.lines = {msg::kReplyPercent, analysis.replyText, msg::kReplyEnd, msg::kReplyPercent};
        reply.displayName = msg::kDisplayNoFileName;
        reply.commLogSubject = msg::kSubjectNoFileName;
        reply.errorLogWord = logs::msg::kErrNoCallFile;
        break;
    case ServerCommand::CallNotFound:
        reply.lines = {msg::kReplyPercent, analysis.replyText, msg::kReplyEnd, msg::kReplyPercent};
        reply.displayName = msg::kDisplayFileNotFound;
        reply.commLogSubject = msg::kSubjectFileNotFound;
        reply.errorLogWord = analysis.ambiguousName ? msg::kErrAmbiguousName
                             : analysis.unsafeName  ? msg::kErrUnsafeFileName
                                                    : logs::msg::kErrCallFileNotFound;
        break;
    case ServerCommand::FileList:
        reply.lines = {msg::kReplyPercent, analysis.replyText};
        for (const std::string& name : fileNames)
            reply.lines.push_back("(" + InertCommentText(text::Utf8ToCp932Lossy(name)) + ")");
        reply.lines.insert(reply.lines.end(), {msg::kReplyFileListEnd, msg::kReplyEnd, msg::kReplyPercent});
        reply.displayName = msg::kDisplayFileList;
        reply.commLogSubject = msg::kSubjectFileList;
        break;
    case ServerCommand::ErrorLog:
        reply.lines = {msg::kReplyPercent};
        if (errorLogLines)
            reply.lines.insert(reply.lines.end(), errorLogLines->begin(), errorLogLines->end());
        else
            reply.lines.push_back(msg::kReplyNoError);
        reply.lines.push_back(msg::kReplyPercent);
        reply.displayName = msg::kDisplayErrorLog;
        reply.commLogSubject = msg::kSubjectErrorLog;
        break;
    default:
        return std::nullopt;
    }
    return reply;
}

} // namespace maroka::server
