#include "core/prepare/SendFileBuilder.h"

#include "core/prepare/BlockOperations.h"
#include "core/prepare/BlockReader.h"
#include "core/prepare/BuildContext.h"
#include "core/prepare/FileLookup.h"
#include "core/prepare/PrepareMessages.h"
#include "core/prepare/SubprogramExpander.h"
#include "core/text/Ascii.h"
#include "core/text/Cp932.h"
#include "core/text/Encoding.h"

#include <unistd.h>

namespace maroka::prepare {

namespace {

constexpr std::string_view kUtf8FullWidthSpace = "\xE3\x80\x80";

// Strip trailing blanks, then trim, on a UTF-8 entry of the list.
std::string CleanEntry(std::string_view entry)
{
    for (;;) {
        if (!entry.empty() &&
            (entry.back() == ' ' || entry.back() == '\t' || entry.back() == '\r' || entry.back() == '\n')) {
            entry.remove_suffix(1);
        } else if (entry.size() >= 3 && entry.substr(entry.size() - 3) == kUtf8FullWidthSpace) {
            entry.remove_suffix(3);
        } else {
            break;
        }
    }
    return std::string(Trim(entry));
}

std::string AsciiUpperCase(std::string text)
{
    for (char& c : text)
        c = text::AsciiUpper(c);
    return text;
}

// A literal line that looks like a path of a file that is not there. Block
// skip lines ("/M01") and divisions ("#1=#2/3") are NC text, not paths.
bool LooksLikePath(std::string_view entry)
{
    if (entry.find('\\') != std::string_view::npos)
        return true;
    const bool rooted =
        entry.starts_with("/") || entry.starts_with("./") || entry.starts_with("../") || entry.starts_with("~/");
    return rooted && entry.find('/', 1) != std::string_view::npos;
}

} // namespace

PrepareResult SendFileBuilder::Prepare(const PrepareRequest& request, BuildObserver& observer)
{
    PrepareResult result;
    if (request.sendFiles == nullptr || request.sendFiles->empty()) {
        result.messages.push_back({messages::kNoSendFile, MessageIcon::Warning, MessageCaption::VersionText});
        return result;
    }
    const BlockSettings settings = MakeBlockSettings(*request.settings, *request.lists, request.sendMode);
    result.sendFilePath = request.preparedPath;
    BuildResult build = Build(*request.sendFiles, settings, request.preparedPath, observer);
    result.dncMode = settings.dncMode;
    result.reused = build.reused;
    result.messages = std::move(build.messages);
    if (!build.ok) {
        ::unlink(request.preparedPath.c_str());
        result.sendFilePath.clear();
        result.discardSelection = true;
        return result;
    }
    result.ok = true;
    // A reused file keeps the estimate the main window already shows.
    if (!build.reused && request.settings->showRemainingTime && estimate_.Valid())
        result.estimate = estimate_.Total();
    return result;
}

BuildResult SendFileBuilder::Build(const std::vector<std::string>& entryTexts, const BlockSettings& settings,
                                   const std::string& outputPath, BuildObserver& observer)
{
    BuildResult result;
    std::vector<Entry> entries;
    std::vector<std::string> entryFiles;
    std::string key = settings.Fingerprint();
    for (const auto& text : entryTexts) {
        const std::string cleaned = CleanEntry(text);
        Entry entry;
        entry.text = AsciiUpperCase(cleaned);
        entry.file = ResolveFile(cleaned).value_or(std::string());
        entryFiles.push_back(entry.file);
        key += '\n';
        key += text;
        entries.push_back(std::move(entry));
    }
    if (stamp_.Matches(outputPath, key, entryFiles)) {
        result.ok = true;
        result.reused = true;
        return result;
    }
    stamp_.Clear();

    if (!settings.unconvertible.empty()) {
        result.messages.push_back(StopMessage(settings.unconvertible.front() + messages::kNotCp932Suffix));
        return result;
    }
    labels_.Clear();
    if (settings.estimate)
        estimate_.Reset();
    for (int byte = 0; byte < 256; ++byte) {
        unsigned char c = 0;
        if (byte >= 'a' && byte <= 'z')
            c |= kLower;
        if (text::IsLeadByte(static_cast<unsigned char>(byte)))
            c |= kLead;
        if (byte == '(')
            c |= kParen;
        if (byte == '#')
            c |= kHash;
        if (byte == '[')
            c |= kBracket;
        if (settings.commentStart && !settings.commentStartText.empty() &&
            byte == static_cast<unsigned char>(settings.commentStartText[0]))
            c |= kCommentStart;
        byteClasses_[byte] = c;
    }

    BlockWriter output;
    if (!output.Open(outputPath)) {
        result.messages.push_back(StopMessage(messages::kOutputOpenFailed));
        return result;
    }
    std::vector<std::string> filesRead;
    BuildContext context{settings, output, labels_, estimate_, observer, result.messages, filesRead, {}};
    SubprogramExpander expander(context);

    bool ok = true;
    if (settings.headPercent && !settings.percentAtEachLabel && !settings.percentComment) {
        if (!output.Write("%") || !output.Write(settings.endOfBlock)) {
            result.messages.push_back(PlainMessage(messages::kWriteFailed));
            ok = false;
        }
    }
    ok = ok && WriteEntries(entries, context, expander);
    if (ok && !settings.percentComment) {
        if ((settings.tailPercent && !output.Write("%")) ||
            (settings.endOfBlockAfterTailPercent && !output.Write(settings.endOfBlock))) {
            result.messages.push_back(PlainMessage(messages::kFileOutputError));
            ok = false;
        }
    }
    labels_.Clear();
    bool flushed = true;
    const bool closed = output.Close(&flushed);
    if (ok && !flushed) {
        result.messages.push_back(PlainMessage(messages::kWriteFailed));
        ok = false;
    } else if (ok && !closed) {
        result.messages.push_back(StopMessage(messages::kOutputCloseFailed));
        ok = false;
    }
    observer.ShowStatus({});
    observer.ShowFileName({});
    if (!ok)
        return result;
    stamp_.Record(outputPath, key, std::move(entryFiles), filesRead);
    estimate_.SetValid();
    result.ok = true;
    return result;
}

bool SendFileBuilder::WriteEntries(const std::vector<Entry>& entries, BuildContext& context,
                                   SubprogramExpander& expander)
{
    const BlockSettings& s = context.settings;
    for (const Entry& entry : entries) {
        const std::optional<std::string> data = text::Utf8ToCp932(entry.text);
        if (!data) {
            context.Fail(entry.text + messages::kNotCp932Suffix);
            return false;
        }
        if (!entry.file.empty()) {
            const std::string name = NameOf(entry.text);
            if (entries.size() >= 2) {
                const std::string line = "(SOURCE_FILE=" + text::Utf8ToCp932(name).value_or(std::string()) + ")";
                if (!context.output.Write(line) || !context.output.Write(s.endOfBlock)) {
                    context.messages.push_back(PlainMessage(messages::kWriteFailed));
                    return false;
                }
            }
            if (!ReadProgramFile(entry, name, context, expander))
                return false;
            continue;
        }
        if (LooksLikePath(entry.text) && !context.observer.AskYesNo(entry.text + messages::kNotFoundQuestion))
            return false;
        // A literal line goes out as it is, without any conversion.
        if (!context.output.Write(*data) || !context.output.Write(s.endOfBlock)) {
            context.messages.push_back(PlainMessage(messages::kWriteFailed));
            return false;
        }
    }
    return true;
}

bool SendFileBuilder::ReadProgramFile(const Entry& entry, const std::string& name, BuildContext& context,
                                      SubprogramExpander& expander)
{
    BlockReader reader;
    if (!reader.Open(entry.file)) {
        context.Fail(name + messages::kInputOpenFailedSuffix);
        return false;
    }
    context.listFolder = FolderOf(entry.file);
    context.filesRead.push_back(entry.file);
    context.observer.ShowStatus(name + messages::kReadingSuffix);
    context.observer.ShowFileName(name + messages::kCreatingSuffix);

    ProgressThrottle progress(context.observer, reader.Size());
    std::string block;
    block.reserve(4096);
    std::string_view piece;
    while (reader.NextView(piece)) {
        progress.Update(reader.Position());
        if (!ProcessBlock(piece, block, context, expander))
            return false;
    }
    if (reader.Failed()) {
        context.Fail(name + messages::kInputReadFailedSuffix);
        return false;
    }
    context.observer.SetProgress(0, static_cast<long long>(reader.Size()));
    context.observer.ShowStatus(name + messages::kReadingDoneSuffix);
    if (!reader.Close()) {
        context.Fail(messages::kInputCloseFailed);
        return false;
    }
    return true;
}

bool SendFileBuilder::ProcessBlock(std::string_view piece, std::string& block, BuildContext& context,
                                   SubprogramExpander& expander)
{
    const BlockSettings& s = context.settings;

    const std::string_view stripped = StripTrailingBlanks(piece);
    const std::string_view trimmed = Trim(stripped);
    const char first = trimmed.empty() ? '\0' : trimmed.front();
    if (first == '%') {
        if (!s.percentComment)
            return true;
    } else if (first == 'O' || first == ':') {
        if (s.percentAtEachLabel && !context.WriteLabelPercent())
            return false;
    } else if (s.blockSkip && !s.blockSkipCharacter.empty() && !stripped.empty() &&
               stripped.front() == s.blockSkipCharacter.front()) {
        // Only an unindented block is skipped.
        return true;
    }

    // Most blocks hold nothing any later step changes: they go out as read.
    const unsigned classes = Classify(stripped);
    if (classes == 0 && !s.ignoreStrings && !s.convert) {
        if (s.estimate)
            context.estimate.EstimateBlock(stripped);
        return context.WriteUpperCased(stripped);
    }
    block.assign(stripped);
    return ProcessChangingBlock(block, classes, context, expander);
}

bool SendFileBuilder::ProcessChangingBlock(std::string& block, unsigned classes, BuildContext& context,
                                           SubprogramExpander& expander)
{
    const BlockSettings& s = context.settings;
    if (classes & kCommentStart)
        CutCommentStart(block, s.commentStartText);
    if (s.ignoreStrings)
        RemoveIgnoreStrings(block, s.ignorePieces);
    if (s.convert)
        ApplyConversionTable(block, s.conversionRows);
    if (s.ignoreStrings || s.convert)
        classes = Classify(block);
    if (classes & kParen) {
        if (!CommentPass(block, s.twoByteCheck)) {
            context.FailUnclosedComment();
            return false;
        }
        classes = Classify(block);
    }
    if (s.twoByteCheck && (classes & kLead)) {
        context.FailWithBlock(block, messages::kTwoByteCodeSuffix);
        return false;
    }
    if (s.dncMode && (classes & kHash)) {
        if (!DncCheck(block)) {
            context.FailWithBlock(block, messages::kNotForDncSuffix);
            return false;
        }
        classes = Classify(block);
    }
    if ((classes & kBracket) && ContainsText(block, "G65[")) {
        if (s.dncMode)
            return expander.Expand(block);
        context.FailWithBlock(block, messages::kG65InMemorySuffix);
        return false;
    }
    if (s.estimate)
        context.estimate.EstimateBlock(block);
    if (classes & kLower)
        UpperCaseInPlace(block);
    return context.WriteUpperCased(block);
}

unsigned SendFileBuilder::Classify(std::string_view block) const
{
    unsigned classes = 0;
    for (const char c : block)
        classes |= byteClasses_[static_cast<unsigned char>(c)];
    return classes;
}

} // namespace maroka::prepare
