#pragma once

// The small NC programs the server sends back when a command has no file to
// send: a call without a name or of a missing file, the file list, and the
// error log.

#include "core/server/ServerCommand.h"

#include <optional>
#include <string>
#include <vector>

namespace maroka::server {

struct ReplyProgram {
    std::vector<std::string> lines; // CP932, without line ends
    std::string displayName;
    std::string commLogSubject;
    std::string errorLogWord; // empty: nothing goes to the error log

    // Every line followed by CR LF, as the command file holds it.
    std::string Bytes() const;
};

// `fileNames` (UTF-8) are the folder's plain files for a list;
// `errorLogLines` the error log's lines (CP932), nullopt when there is no
// error log. Empty for a command that is no reply.
std::optional<ReplyProgram> BuildReplyProgram(const CommandAnalysis& analysis,
                                              const std::vector<std::string>& fileNames,
                                              const std::optional<std::vector<std::string>>& errorLogLines);

} // namespace maroka::server
