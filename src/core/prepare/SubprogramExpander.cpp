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

bool SubprogramExpander::Expand(const std::string& block, int depth)
{
    const std::size_t g65 = FindText(block, "G65[");
    if (g65 == std::string::npos) {
        context_.Fail(msg::kBadCallForm);
        return false;
    }
    const std::size_t close = block.find(']', g65 + 4);
    if (close == std::string::npos) {
        context_.Fail(msg::kCallWithoutBracket);
        return false;
    }
    if (depth > kMaxDepth) {
        context_.FailWithBlock(block, msg::kNestingTooDeepSuffix);
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
    context_.observer.ShowStatus(displayPath + msg::kReadingSuffix);

    std::string arguments = block.substr(close + 1);
    if (!RemoveComments(arguments)) {
        context_.FailUnclosedComment();
        return false;
    }
    Call call;
    const ArgumentScan scan = ScanArguments(arguments, call.arguments);
    if (!scan.ok) {
        context_.Fail(text::Cp932ToUtf8Lossy(block) + msg::kArgumentTooLongInfix + scan.tooLong +
                      msg::kArgumentTooLongSuffix);
        return false;
    }

    // A count no control accepts would only fill the disk.
    if (call.arguments.repeatCount > kMaxRepetitions) {
        context_.FailWithBlock(block, msg::kTooManyRepetitionsSuffix);
        return false;
    }

    // The label shows the name without its folder; a two-byte name is not
    // sent when two-byte codes are refused.
    std::string displayName = NameWithoutFolder(nameCp932);
    if (context_.settings.twoByteCheck && HasLeadByte(displayName))
        displayName = msg::kDoubleBytesFileName;

    std::string piece;
    for (int repetition = 0; repetition < call.arguments.repeatCount; ++repetition) {
        auto known = resolved_.find(path);
        if (known == resolved_.end())
            known = resolved_.emplace(path, nameUtf8 ? ResolveFile(path) : std::nullopt).first;
        const std::optional<std::string>& resolved = known->second;
        if (!resolved) {
            context_.Fail(displayPath + msg::kSubprogramOpenFailedSuffix);
            return false;
        }
        ReadFile* file = Read(*resolved, displayPath);
        if (file == nullptr)
            return false;

        const std::string label = context_.labels.Take(displayName);
        if (!context_.output.Write("(*") || !context_.output.Write(label) || !context_.output.Write(")") ||
            !context_.output.Write(context_.settings.endOfBlock)) {
            context_.messages.push_back(PlainMessage(msg::kFileOutputError));
            return false;
        }
        context_.observer.ShowStatus(text::Cp932ToUtf8Lossy(label) + msg::kReadingSuffix);

        ProgressThrottle progress(context_.observer, file->size);
        for (std::size_t i = 0; i < file->blocks.size(); ++i) {
            progress.Update(file->positions[i]);
            if (!ProcessBlock(file->blocks[i], piece, call, depth))
                return false;
        }
        context_.observer.SetProgress(0, static_cast<long long>(file->size));
        context_.observer.ShowStatus(displayPath + msg::kReadingDoneSuffix);
    }
    return true;
}

SubprogramExpander::ReadFile* SubprogramExpander::Read(const std::string& path, const std::string& displayPath)
{
    if (const auto known = files_.find(path); known != files_.end())
        return &known->second;
    BlockReader reader(64 * 1024);
    if (!reader.Open(path)) {
        context_.Fail(displayPath + msg::kSubprogramOpenFailedSuffix);
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
        context_.Fail(displayPath + msg::kInputReadFailedSuffix);
        return nullptr;
    }
    if (!reader.Close()) {
        context_.Fail(displayPath + msg::kSubprogramCloseFailedSuffix);
        return nullptr;
    }
    return &files_.emplace(path, std::move(file)).first->second;
}

SubprogramExpander::PreparedBlock SubprogramExpander::Prepare(std::string block) const
{
    PreparedBlock prepared;
    StripTrailingBlanks(block);
    if (!KeepsFraming(block, prepared.labelPercent)) {
        prepared.dropped = true;
        return prepared;
    }
    ApplyTextSettings(block);
    if (EndsSubprogram(block)) {
        prepared.dropped = true;
        return prepared;
    }
    RemoveEndCodes(block);
    if (StartsWith(block, ":"))
        block[0] = 'O';
    prepared.callIndependent = SameForEveryCall(block);
    prepared.text = std::move(block);
    return prepared;
}

bool SubprogramExpander::KeepsFraming(std::string& block, bool& labelPercent) const
{
    const BlockSettings& s = context_.settings;
    const std::string_view trimmed = Trim(block);
    if (StartsWith(trimmed, "%")) {
        const std::size_t percent = block.find('%');
        if (!s.percentComment || percent + 1 >= block.size())
            return false;
        block[percent] = '(';
        block += ')';
    } else if (s.percentComment && EndsWith(trimmed, "%")) {
        block = "(" + std::string(trimmed.substr(0, trimmed.size() - 1)) + ")";
    } else if (StartsWith(trimmed, "O") || StartsWith(trimmed, ":")) {
        labelPercent = s.percentAtEachLabel;
    } else if (s.blockSkip && !s.blockSkipCharacter.empty() && !block.empty() && block[0] == s.blockSkipCharacter[0]) {
        return false;
    }
    return true;
}

void SubprogramExpander::ApplyTextSettings(std::string& block) const
{
    const BlockSettings& s = context_.settings;
    if (s.commentStart)
        CutCommentStart(block, s.commentStartText);
    if (s.ignoreStrings)
        RemoveIgnoreStrings(block, s.ignorePieces);
    if (s.convert)
        ApplyConversionTable(block, s.conversionRows);
}

bool SubprogramExpander::EndsSubprogram(std::string_view block)
{
    return block.find('%') != std::string_view::npos || ContainsText(block, "M#5") || StartsWith(block, "M30") ||
           StartsWith(block, "M02") || StartsWith(block, "M99") || StartsWith(block, "G23") ||
           (StartsWith(block, "G6") && EndCodeTest(block, "G6", "G06", 'G', 6)) ||
           (StartsWith(block, "G06") && ContainsText(block, "M30"));
}

void SubprogramExpander::RemoveEndCodes(std::string& block)
{
    // "M2" is looked for before the longer codes go: "M02" is one of them.
    const bool m2 = EndCodeTest(block, "M2", "M02", 'M', 2);
    for (const std::string_view code : {"M30", "M02", "M99", "G23"})
        ReplaceAll(block, code, {});
    if (m2)
        ReplaceAll(block, "M2", {});
}

bool SubprogramExpander::SameForEveryCall(std::string_view block)
{
    // Without a variable or the code a call may replace, every call makes the
    // same block of it.
    return block.find('#') == std::string_view::npos && !ContainsText(block, "G90G0");
}

bool SubprogramExpander::ProcessBlock(PreparedBlock& prepared, std::string& block, Call& call, int depth)
{
    // The label's "%" was written even for a block that goes no further.
    if (prepared.labelPercent && !context_.WriteLabelPercent())
        return false;
    if (prepared.dropped)
        return true;
    const Finish finish = FinishedBlock(prepared, block, call);
    if (finish != Finish::Kept)
        return finish == Finish::Dropped;
    return ExpandOrWrite(block, depth);
}

SubprogramExpander::Finish SubprogramExpander::FinishedBlock(PreparedBlock& prepared, std::string& block, Call& call)
{
    if (prepared.finished) {
        block = *prepared.finished;
        return Finish::Kept;
    }
    block = prepared.text;
    const Finish finish = FinishForCall(block, call);
    // What no call changes is kept, or dropped, for the calls to come.
    if (finish == Finish::Dropped)
        prepared.dropped = prepared.callIndependent;
    else if (finish == Finish::Kept && prepared.callIndependent)
        prepared.finished = block;
    return finish;
}

SubprogramExpander::Finish SubprogramExpander::FinishForCall(std::string& block, Call& call)
{
    PlaceReplacementCode(block, call.arguments);
    CommentProgramNumber(block);
    if (!PassesComments(block))
        return Finish::Failed;
    SubstituteArguments(block, call.arguments);
    if (!PassesDncCheck(block))
        return Finish::Failed;
    return DropOrRemoveIgnoredCodes(block);
}

void SubprogramExpander::PlaceReplacementCode(std::string& block, CallArguments& arguments)
{
    // The call's G code takes the place of the first rapid of the whole call.
    if (arguments.replacementPending) {
        if (ReplaceAll(block, "G90G00", arguments.replacementCode) ||
            ReplaceAll(block, "G90G0", arguments.replacementCode))
            arguments.replacementPending = false;
    }
}

void SubprogramExpander::CommentProgramNumber(std::string& block)
{
    if (!StartsWith(block, "O"))
        return;
    if (block.find('(') == std::string::npos) {
        ReplaceAll(block, "O", "(O");
        block += ')';
    } else {
        std::replace(block.begin(), block.end(), '(', ' ');
        block.erase(std::remove(block.begin(), block.end(), ')'), block.end());
        block = "(" + block + ")";
    }
}

bool SubprogramExpander::PassesComments(std::string& block)
{
    const bool twoByteCheck = context_.settings.twoByteCheck;
    if (!CommentPass(block, twoByteCheck)) {
        context_.FailUnclosedComment();
        return false;
    }
    if (twoByteCheck && HasLeadByte(block)) {
        context_.FailWithBlock(block, msg::kTwoByteCodeSuffix);
        return false;
    }
    return true;
}

void SubprogramExpander::SubstituteArguments(std::string& block, const CallArguments& arguments)
{
    if (block.find('#') == std::string::npos)
        return;
    for (std::size_t i = StandardArgumentMap.size(); i-- > 0;) {
        const std::string& value = arguments.slots[i];
        if (!value.empty())
            SubstituteVariable(block, StandardArgumentMap[i].variable, value);
    }
}

bool SubprogramExpander::PassesDncCheck(std::string& block)
{
    if (DncCheck(block))
        return true;
    context_.FailWithBlock(block, msg::kNotForDncSuffix);
    return false;
}

SubprogramExpander::Finish SubprogramExpander::DropOrRemoveIgnoredCodes(std::string& block) const
{
    const BlockSettings& s = context_.settings;
    if (!s.ignoreCodesEnabled)
        return Finish::Kept;
    for (const std::string& code : s.ignoreCodes) {
        if (code.empty())
            continue;
        if (StartsWith(block, code) && (block.size() == code.size() || !IsDigit(block[code.size()])))
            return Finish::Dropped;
        ReplaceAll(block, code, {});
    }
    return Finish::Kept;
}

bool SubprogramExpander::ExpandOrWrite(std::string& block, int depth)
{
    if (ContainsText(block, "G65["))
        return Expand(block, depth + 1);
    if (context_.settings.estimate)
        context_.estimate.Add(block);
    return context_.WriteBlock(block);
}

} // namespace maroka::prepare
