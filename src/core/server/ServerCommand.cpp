#include "core/server/ServerCommand.h"

#include "core/prepare/CallArguments.h"
#include "core/server/ReplyText.h"
#include "core/server/ServerMessages.h"
#include "core/text/Cp932.h"
#include "core/text/Encoding.h"

namespace maroka::server {

namespace {

// A command file is read as the old reader did: a line ends at LF, and a
// longer line comes in pieces of at most this many bytes.
constexpr std::size_t kMaxReadBytes = 2047;

constexpr std::size_t npos = std::string_view::npos;

std::size_t Find(std::string_view line, std::string_view word, std::size_t from = 0)
{
    return text::FindAtCharBoundary(line, word, from);
}

std::string_view After(std::string_view line, std::size_t pos, std::string_view word)
{
    return line.substr(pos + word.size());
}

std::string ForLog(std::string_view name)
{
    return text::Cp932ToUtf8Lossy(name);
}

// The name as a file-system name, or nullopt when the machine's bytes name
// nothing this folder may hold.
std::optional<std::string> UsableName(std::string_view name)
{
    auto utf8 = text::Cp932ToUtf8(name);
    if (!utf8 || !ServerFolder::IsSafeName(*utf8))
        return std::nullopt;
    return utf8;
}

std::string TrimTrailing(std::string line)
{
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}

class Analyser {
public:
    Analyser(const CommandWords& words, const ServerFolder& folder) : words_(words), folder_(folder)
    {
        result_.commLogSubject = msg::kSubjectNoCommand;
    }

    // True when the line decided the command.
    bool Line(std::string_view raw);
    CommandAnalysis Take() { return std::move(result_); }

private:
    void Call(std::string_view line);
    void Save(std::string_view name);
    void Delete(std::string_view name);
    void Rename(std::string_view names);
    void Refuse(std::string subject, const char* word = msg::kErrUnsafeFileName);

    const CommandWords& words_;
    const ServerFolder& folder_;
    CommandAnalysis result_;
};

bool Analyser::Line(std::string_view raw)
{
    if (!raw.empty() && raw.front() == '%')
        return false;
    std::string line(raw);
    if (!prepare::RemoveComments(line))
        ++result_.unclosedComments;
    line = TrimTrailing(std::move(line));
    if (line.empty())
        return false;

    std::size_t pos = 0;
    if (Find(line, words_.call) != npos || Find(line, words_.handyOn) != npos ||
        Find(line, msg::kFixedHandyOn) != npos) {
        result_.kindBox = msg::kBoxCallCommand;
        Call(line);
    } else if ((pos = Find(line, words_.save)) != npos) {
        result_.kindBox = msg::kBoxSaveCommand;
        Save(After(line, pos, words_.save));
    } else if (Find(line, words_.list) != npos) {
        result_.kindBox = msg::kBoxListCommand;
        result_.command = ServerCommand::FileList;
        result_.replyText = msg::kReplyFileList;
        result_.commLogSubject = msg::kSubjectCallList;
    } else if (Find(line, words_.errorLog) != npos) {
        result_.kindBox = msg::kBoxErrorLogCommand;
        result_.command = ServerCommand::ErrorLog;
        result_.replyText = msg::kReplyErrorLog;
        result_.commLogSubject = msg::kSubjectCallErrorLog;
    } else if ((pos = Find(line, words_.rename)) != npos) {
        // Before the delete word: an old name ending in "D" puts "D/" into
        // every rename line of the default words.
        result_.kindBox = msg::kBoxRenameCommand;
        Rename(After(line, pos, words_.rename));
    } else if ((pos = Find(line, words_.remove)) != npos) {
        result_.kindBox = msg::kBoxDeleteCommand;
        Delete(After(line, pos, words_.remove));
    } else if ((pos = Find(line, words_.mail)) != npos) {
        result_.kindBox = msg::kBoxMailCommand;
        result_.command = ServerCommand::Mail;
        result_.mailCommandText = text::Cp932ToUtf8Lossy(After(line, pos, words_.mail));
        result_.commLogSubject = msg::kSubjectMailCommand;
    } else {
        return false;
    }
    return true;
}

void Analyser::Call(std::string_view line)
{
    std::string_view name;
    bool named = false;
    // The M198 form: the configured words, then the fixed "&H" and ":".
    for (const auto& [open, close] : {std::pair<std::string_view, std::string_view>{words_.handyOn, words_.handyOff},
                                      {msg::kFixedHandyOn, msg::kFixedHandyOff}}) {
        const std::size_t start = Find(line, open);
        if (start == npos)
            continue;
        const std::size_t end = Find(line, close, start + open.size());
        if (end == npos)
            continue;
        name = line.substr(start + open.size(), end - start - open.size());
        result_.skipCycleStartWait = true;
        named = true;
        break;
    }
    if (!named) {
        // An opening word without its closing word names no file, unless
        // the call word is there too.
        if (const std::size_t pos = Find(line, words_.call); pos != npos)
            name = After(line, pos, words_.call);
    }

    const std::string shown = ForLog(name);
    result_.calledFilePath = folder_.PathOf(shown);
    if (name.empty()) {
        result_.command = ServerCommand::CallWithoutName;
        result_.replyText = "(" + words_.call + msg::kReplyNoNameSuffix;
        result_.commLogSubject = msg::kSubjectNoCalledFileName;
        return;
    }
    const auto usable = UsableName(name);
    const ServerFolder::Lookup found = usable ? folder_.Find(*usable) : ServerFolder::Lookup{};
    if (found.path) {
        result_.command = ServerCommand::Call;
        result_.calledFile = *found.path;
        result_.commLogSubject = msg::kSubjectCallPrefix + shown + msg::kSubjectNameSuffix;
        return;
    }
    result_.unsafeName = !usable;
    result_.ambiguousName = found.ambiguous;
    result_.command = ServerCommand::CallNotFound;
    // The name came from the machine: echoed raw it could close the comment.
    result_.replyText = "(" + words_.call + InertCommentText(name) + msg::kReplyNotFoundSuffix;
    result_.commLogSubject = msg::kSubjectNoCalledFile;
}

void Analyser::Save(std::string_view name)
{
    std::string usable = msg::kUntitled;
    if (!name.empty()) {
        const auto checked = UsableName(name);
        if (!checked)
            return Refuse(msg::kSubjectSavePrefix + ForLog(name) + msg::kSubjectNameSuffix);
        // A file of this name would put its text outside the comment of
        // every later list reply.
        if (!IsInertCommentText(name))
            return Refuse(msg::kSubjectSavePrefix + ForLog(name) + msg::kSubjectNameSuffix, msg::kErrNameNotListable);
        usable = *checked;
    }
    const std::string unique = folder_.MakeUniqueName(usable);
    result_.command = ServerCommand::Save;
    result_.saveFilePath = folder_.PathOf(unique);
    result_.commLogSubject = msg::kSubjectSavePrefix + unique + msg::kSubjectNameSuffix;
}

void Analyser::Delete(std::string_view name)
{
    const std::string shown = ForLog(name);
    result_.deleteFilePath = folder_.PathOf(shown);
    result_.commLogSubject = msg::kSubjectDeletePrefix + shown + msg::kSubjectNameSuffix;
    // An empty name deletes nothing and is reported as not found.
    if (!name.empty()) {
        const auto usable = UsableName(name);
        if (!usable)
            return Refuse(result_.commLogSubject);
        result_.deleteName = *usable;
    }
    result_.command = ServerCommand::Delete;
}

void Analyser::Rename(std::string_view names)
{
    std::string_view from;
    std::string_view to;
    if (const std::size_t separator = Find(names, words_.renameSeparator); separator != npos) {
        from = names.substr(0, separator);
        to = After(names, separator, words_.renameSeparator);
    }
    result_.renameFromPath = folder_.PathOf(ForLog(from));
    result_.renameToPath = folder_.PathOf(ForLog(to));
    result_.commLogSubject =
        msg::kSubjectRenamePrefix + ForLog(from) + msg::kSubjectRenameInfix + ForLog(to) + msg::kSubjectNameSuffix;
    for (const auto& [name, target] : {std::pair{from, &result_.renameFrom}, std::pair{to, &result_.renameTo}}) {
        if (name.empty())
            continue;
        const auto usable = UsableName(name);
        if (!usable)
            return Refuse(result_.commLogSubject);
        if (target == &result_.renameTo && !IsInertCommentText(name))
            return Refuse(result_.commLogSubject, msg::kErrNameNotListable);
        *target = *usable;
    }
    result_.command = ServerCommand::Rename;
}

void Analyser::Refuse(std::string subject, const char* word)
{
    result_.command = ServerCommand::Refused;
    result_.unsafeName = true;
    result_.refusalWord = word;
    result_.commLogSubject = std::move(subject);
}

} // namespace

CommandWords CommandWords::FromSettings(const settings::SessionSettings& settings)
{
    auto word = [](const std::string& utf8) { return text::Utf8ToCp932Lossy(utf8); };
    return CommandWords{
        .call = word(settings.fileCallCommand),
        .handyOn = word(settings.handyOnCommand),
        .handyOff = word(settings.handyOffCommand),
        .save = word(settings.fileSaveCommand),
        .list = word(settings.fileListCommand),
        .errorLog = word(settings.logRequestCommand),
        .remove = word(settings.fileDeleteCommand),
        .rename = word(settings.fileRenameCommand),
        .renameSeparator = word(settings.fileRenameSeparator),
        .mail = word(settings.mailCommand),
    };
}

CommandAnalysis AnalyseCommand(std::string_view commandText, const CommandWords& words, const ServerFolder& folder)
{
    Analyser analyser(words, folder);
    while (!commandText.empty()) {
        std::size_t end = commandText.find('\n');
        end = end == npos ? commandText.size() : end + 1;
        end = std::min(end, kMaxReadBytes);
        const std::string_view piece = commandText.substr(0, end);
        commandText.remove_prefix(end);
        if (analyser.Line(piece))
            break;
    }
    return analyser.Take();
}

} // namespace maroka::server
