#include "core/prepare/SubprogramExpander.h"

#include "core/prepare/BlockOperations.h"
#include "core/prepare/BlockReader.h"
#include "core/prepare/FileLookup.h"
#include "core/prepare/PrepareMessages.h"
#include "core/text/Cp932.h"
#include "core/text/Encoding.h"

#include <algorithm>

namespace maroka::prepare {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The end-code test: the first `shortForm` (else `longForm`) in the block
// starts a run of `letter` + ".0123456789"; its integer after the letter is
// `value`.
bool EndCodeTest(std::string_view block, std::string_view shortForm, std::string_view longForm, char letter, int value)
{
    std::size_t pos = FindText(block, shortForm);
    if (pos == std::string_view::npos)
        pos = FindText(block, longForm);
    if (pos == std::string_view::npos)
        return false;
    std::size_t end = pos + 1;
    while (end < block.size() && (block[end] == letter || block[end] == '.' || IsDigit(block[end])))
        ++end;
    long long number = 0;
    for (std::size_t i = pos + 1; i < end && IsDigit(block[i]); ++i)
        number = std::min<long long>(number * 10 + (block[i] - '0'), 1'000'000);
    return number == value;
}

// Position of `variable` at or after `from` whose number is not continued by
// another digit.
std::size_t FindVariable(std::string_view block, std::string_view variable, std::size_t from)
{
    for (std::size_t pos = block.find(variable, from); pos != std::string_view::npos;
         pos = block.find(variable, pos + 1)) {
        const std::size_t after = pos + variable.size();
        if (after >= block.size() || !IsDigit(block[after]))
            return pos;
    }
    return std::string_view::npos;
}

// The text after the last "/" or "\", which in CP932 may also be the
// second byte of a character.
std::string NameWithoutFolder(std::string_view name)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < name.size(); i += text::CharLength(name, i)) {
        if (name[i] == '/' || name[i] == '\\')
            start = i + 1;
    }
    return std::string(name.substr(start));
}

} // namespace

void SubstituteVariable(std::string& block, std::string_view variable, std::string_view text)
{
    std::size_t from = 0;
    if (block.find('(') != std::string::npos) {
        // Pass over each comment that holds the next occurrence.
        for (;;) {
            const std::size_t occurrence = FindVariable(block, variable, from);
            if (occurrence == std::string::npos)
                return;
            std::size_t scan = from;
            std::size_t commentEnd = std::string::npos;
            for (;;) {
                const std::size_t open = block.find('(', scan);
                if (open == std::string::npos || open > occurrence)
                    break;
                const std::size_t close = block.find(')', open + 1);
                if (close == std::string::npos)
                    break;
                if (occurrence < close) {
                    commentEnd = close + 1;
                    break;
                }
                scan = close + 1;
            }
            if (commentEnd == std::string::npos)
                break;
            from = commentEnd;
        }
    }
    std::size_t pos = FindVariable(block, variable, from);
    if (pos == std::string::npos)
        return;
    std::string out(block, 0, pos);
    std::size_t last = pos;
    while (pos != std::string::npos) {
        out.append(block, last, pos - last);
        out.append(text);
        last = pos + variable.size();
        pos = FindVariable(block, variable, last);
    }
    out.append(block, last, std::string::npos);
    block.swap(out);
}

bool SubprogramExpander::Expand(const std::string& block, int depth)
{
    const std::size_t g65 = FindText(block, "G65[");
    if (g65 == std::string::npos) {
        context_.Fail(messages::kBadCallForm);
        return false;
    }
    const std::size_t close = block.find(']', g65 + 4);
    if (close == std::string::npos) {
        context_.Fail(messages::kCallWithoutBracket);
        return false;
    }
    if (depth > kMaxDepth) {
        context_.FailWithBlock(block, messages::kNestingTooDeepSuffix);
        return false;
    }

    // The name is CP932 data; the file system speaks UTF-8, and a name
    // written for the old system may use "\" between folders.
    std::string nameCp932(Trim(std::string_view(block).substr(g65 + 4, close - g65 - 4)));
    StripTrailingBlanks(nameCp932);
    const std::optional<std::string> nameUtf8 = text::Cp932ToUtf8(nameCp932);
    std::string path = nameUtf8 ? *nameUtf8 : text::Cp932ToUtf8Lossy(nameCp932);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.find(':') == std::string::npos && !StartsWith(path, "/"))
        path = context_.listFolder + path;
    const std::string displayPath = path;
    context_.observer.ShowStatus(displayPath + messages::kReadingSuffix);

    std::string arguments = block.substr(close + 1);
    if (!RemoveComments(arguments)) {
        context_.FailUnclosedComment();
        return false;
    }
    Call call;
    const ArgumentScan scan = ScanArguments(arguments, call.arguments);
    if (!scan.ok) {
        context_.Fail(text::Cp932ToUtf8Lossy(block) + messages::kArgumentTooLongInfix + scan.tooLong +
                      messages::kArgumentTooLongSuffix);
        return false;
    }

    // A count no control accepts would only fill the disk.
    if (call.arguments.repeatCount > kMaxRepetitions) {
        context_.FailWithBlock(block, messages::kTooManyRepetitionsSuffix);
        return false;
    }

    // The label shows the name without its folder; a two-byte name is not
    // sent when two-byte codes are refused.
    std::string displayName = NameWithoutFolder(nameCp932);
    if (context_.settings.twoByteCheck && HasLeadByte(displayName))
        displayName = messages::kDoubleBytesFileName;

    std::string piece;
    for (int repetition = 0; repetition < call.arguments.repeatCount; ++repetition) {
        auto known = resolved_.find(path);
        if (known == resolved_.end())
            known = resolved_.emplace(path, nameUtf8 ? ResolveFile(path) : std::nullopt).first;
        const std::optional<std::string>& resolved = known->second;
        if (!resolved) {
            context_.Fail(displayPath + messages::kSubprogramOpenFailedSuffix);
            return false;
        }
        ReadFile* file = Read(*resolved, displayPath);
        if (file == nullptr)
            return false;

        const std::string label = context_.labels.Take(displayName);
        if (!context_.output.Write("(*") || !context_.output.Write(label) || !context_.output.Write(")") ||
            !context_.output.Write(context_.settings.endOfBlock)) {
            context_.messages.push_back(PlainMessage(messages::kFileOutputError));
            return false;
        }
        context_.observer.ShowStatus(text::Cp932ToUtf8Lossy(label) + messages::kReadingSuffix);

        ProgressThrottle progress(context_.observer, file->size);
        for (std::size_t i = 0; i < file->blocks.size(); ++i) {
            progress.Update(file->positions[i]);
            if (!ProcessBlock(file->blocks[i], piece, call, depth))
                return false;
        }
        context_.observer.SetProgress(0, static_cast<long long>(file->size));
        context_.observer.ShowStatus(displayPath + messages::kReadingDoneSuffix);
    }
    return true;
}

SubprogramExpander::ReadFile* SubprogramExpander::Read(const std::string& path, const std::string& displayPath)
{
    if (const auto known = files_.find(path); known != files_.end())
        return &known->second;
    BlockReader reader(64 * 1024);
    if (!reader.Open(path)) {
        context_.Fail(displayPath + messages::kSubprogramOpenFailedSuffix);
        return nullptr;
    }
    if (std::find(context_.filesRead.begin(), context_.filesRead.end(), path) == context_.filesRead.end())
        context_.filesRead.push_back(path);
    ReadFile file;
    file.size = reader.Size();
    std::string piece;
    while (reader.Next(piece)) {
        file.blocks.push_back(Prepare(std::move(piece)));
        file.positions.push_back(reader.Position());
    }
    if (reader.Failed()) {
        context_.Fail(displayPath + messages::kInputReadFailedSuffix);
        return nullptr;
    }
    if (!reader.Close()) {
        context_.Fail(displayPath + messages::kSubprogramCloseFailedSuffix);
        return nullptr;
    }
    return &files_.emplace(path, std::move(file)).first->second;
}

SubprogramExpander::PreparedBlock SubprogramExpander::Prepare(std::string block) const
{
    const BlockSettings& s = context_.settings;
    PreparedBlock prepared;

    StripTrailingBlanks(block);
    const std::string_view trimmed = Trim(block);

    // Framing: the subprogram's own "%" lines and program number.
    if (StartsWith(trimmed, "%")) {
        const std::size_t percent = block.find('%');
        if (!s.percentComment || percent + 1 >= block.size()) {
            prepared.dropped = true;
            return prepared;
        }
        block[percent] = '(';
        block += ')';
    } else if (s.percentComment && EndsWith(trimmed, "%")) {
        block = "(" + std::string(trimmed.substr(0, trimmed.size() - 1)) + ")";
    } else if (StartsWith(trimmed, "O") || StartsWith(trimmed, ":")) {
        prepared.labelPercent = s.percentAtEachLabel;
    } else if (s.blockSkip && !s.blockSkipCharacter.empty() && !block.empty() && block[0] == s.blockSkipCharacter[0]) {
        prepared.dropped = true;
        return prepared;
    }

    if (s.commentStart)
        CutCommentStart(block, s.commentStartText);
    if (s.ignoreStrings)
        RemoveIgnoreStrings(block, s.ignorePieces);
    if (s.convert)
        ApplyConversionTable(block, s.conversionRows);

    // End codes of the subprogram: its end would end the main program.
    const bool g6 = EndCodeTest(block, "G6", "G06", 'G', 6);
    const bool m2 = EndCodeTest(block, "M2", "M02", 'M', 2);
    if (block.find('%') != std::string::npos || ContainsText(block, "M#5") || StartsWith(block, "M30") ||
        StartsWith(block, "M02") || StartsWith(block, "M99") || StartsWith(block, "G23") ||
        (StartsWith(block, "G6") && g6) || (StartsWith(block, "G06") && ContainsText(block, "M30"))) {
        prepared.dropped = true;
        return prepared;
    }
    for (const std::string_view code : {"M30", "M02", "M99", "G23"})
        ReplaceAll(block, code, {});
    if (m2)
        ReplaceAll(block, "M2", {});

    if (StartsWith(block, ":"))
        block[0] = 'O';
    // Without a variable or the code a call may replace, every call makes the
    // same block of it.
    prepared.callIndependent = block.find('#') == std::string::npos && !ContainsText(block, "G90G0");
    prepared.text = std::move(block);
    return prepared;
}

SubprogramExpander::Finish SubprogramExpander::FinishForCall(std::string& block, Call& call)
{
    const BlockSettings& s = context_.settings;
    if (call.arguments.replacementPending) {
        if (ReplaceAll(block, "G90G00", call.arguments.replacementCode) ||
            ReplaceAll(block, "G90G0", call.arguments.replacementCode))
            call.arguments.replacementPending = false;
    }

    // The subprogram's program number becomes a comment.
    if (StartsWith(block, "O")) {
        if (block.find('(') == std::string::npos) {
            ReplaceAll(block, "O", "(O");
            block += ')';
        } else {
            std::replace(block.begin(), block.end(), '(', ' ');
            block.erase(std::remove(block.begin(), block.end(), ')'), block.end());
            block = "(" + block + ")";
        }
    }

    if (!CommentPass(block, s.twoByteCheck)) {
        context_.FailUnclosedComment();
        return Finish::Failed;
    }
    if (s.twoByteCheck && HasLeadByte(block)) {
        context_.FailWithBlock(block, messages::kTwoByteCodeSuffix);
        return Finish::Failed;
    }

    if (block.find('#') != std::string::npos) {
        for (std::size_t i = StandardArgumentMap.size(); i-- > 0;) {
            const std::string& value = call.arguments.slots[i];
            if (!value.empty())
                SubstituteVariable(block, StandardArgumentMap[i].variable, value);
        }
    }
    if (!DncCheck(block)) {
        context_.FailWithBlock(block, messages::kNotForDncSuffix);
        return Finish::Failed;
    }

    if (s.ignoreCodesEnabled) {
        for (const std::string& code : s.ignoreCodes) {
            if (code.empty())
                continue;
            if (StartsWith(block, code) && (block.size() == code.size() || !IsDigit(block[code.size()])))
                return Finish::Dropped;
            ReplaceAll(block, code, {});
        }
    }
    return Finish::Kept;
}

bool SubprogramExpander::ProcessBlock(PreparedBlock& prepared, std::string& block, Call& call, int depth)
{
    const BlockSettings& s = context_.settings;
    // The label's "%" was written even for a block that goes no further.
    if (prepared.labelPercent && !context_.WriteLabelPercent())
        return false;
    if (prepared.dropped)
        return true;

    if (prepared.finished) {
        block = *prepared.finished;
    } else {
        block = prepared.text;
        const Finish finish = FinishForCall(block, call);
        if (finish == Finish::Failed)
            return false;
        if (finish == Finish::Dropped) {
            prepared.dropped = prepared.callIndependent;
            return true;
        }
        if (prepared.callIndependent)
            prepared.finished = block;
    }

    if (ContainsText(block, "G65["))
        return Expand(block, depth + 1);

    if (s.estimate)
        context_.estimate.Add(block);
    return context_.WriteBlock(block);
}

} // namespace maroka::prepare
