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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
// One bit for each of 16 bytes that Classify may find something in:
// lower-case letters, bytes of 0x80 and up (all lead bytes among them), "(",
// "#", "[" and the first byte of the comment start.
inline unsigned MayChangeBits(__m128i v, char commentByte)
{
    const __m128i lower =
        _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('a' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('z' + 1)));
    __m128i hit = _mm_or_si128(lower, _mm_cmpeq_epi8(v, _mm_set1_epi8('(')));
    hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8('#')));
    hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8('[')));
    hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8(commentByte)));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(hit, v)));
}
#endif

// The block without its trailing blanks and line end, as StripTrailingBlanks
// gives it; the lead-byte check of a full-width space is left to that.
inline std::string_view StripLineEnd(std::string_view piece)
{
    std::size_t end = piece.size();
    while (end > 0 &&
           (piece[end - 1] == '\n' || piece[end - 1] == '\r' || piece[end - 1] == ' ' || piece[end - 1] == '\t'))
        --end;
    if (end >= 2 && piece[end - 1] == '\x40' && piece[end - 2] == '\x81')
        return StripTrailingBlanks(piece);
    return piece.substr(0, end);
}

// The first byte of the block once trimmed, 0 for a blank block.
inline char FirstTrimmed(std::string_view block)
{
    for (const char c : block) {
        if (static_cast<unsigned char>(c) > 32)
            return c;
    }
    return '\0';
}

} // namespace

PrepareResult SendFileBuilder::Prepare(const PrepareRequest& request, BuildObserver& observer)
{
    PrepareResult result;
    if (request.sendFiles == nullptr || request.sendFiles->empty()) {
        result.messages.push_back({msg::kNoSendFile, MessageIcon::Warning, MessageCaption::VersionText});
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
        result.messages.push_back(StopMessage(settings.unconvertible.front() + msg::kNotCp932Suffix));
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
    // A byte MayChange looks for anyway when there is no comment start.
    commentByte_ = settings.commentStart && !settings.commentStartText.empty() ? settings.commentStartText[0] : '(';

    BlockWriter output;
    if (!output.Open(outputPath)) {
        result.messages.push_back(StopMessage(msg::kOutputOpenFailed));
        return result;
    }
    std::vector<std::string> filesRead;
    EstimateQueue estimateQueue(estimate_);
    BuildContext context{settings, output, labels_, estimateQueue, observer, result.messages, filesRead, {}};
    SubprogramExpander expander(context);

    bool ok = true;
    if (settings.headPercent && !settings.percentAtEachLabel && !settings.percentComment) {
        if (!output.Write("%") || !output.Write(settings.endOfBlock)) {
            result.messages.push_back(PlainMessage(msg::kWriteFailed));
            ok = false;
        }
    }
    ok = ok && WriteEntries(entries, context, expander);
    if (ok && !settings.percentComment) {
        if ((settings.tailPercent && !output.Write("%")) ||
            (settings.endOfBlockAfterTailPercent && !output.Write(settings.endOfBlock))) {
            result.messages.push_back(PlainMessage(msg::kFileOutputError));
            ok = false;
        }
    }
    labels_.Clear();
    estimateQueue.Finish();
    bool flushed = true;
    const bool closed = output.Close(&flushed);
    if (ok && !flushed) {
        result.messages.push_back(PlainMessage(msg::kWriteFailed));
        ok = false;
    } else if (ok && !closed) {
        result.messages.push_back(StopMessage(msg::kOutputCloseFailed));
        ok = false;
    }
    observer.ShowStatus({});
    observer.ShowFileName({});
    result.filesRead = filesRead;
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
            context.Fail(entry.text + msg::kNotCp932Suffix);
            return false;
        }
        if (!entry.file.empty()) {
            const std::string name = NameOf(entry.text);
            if (entries.size() >= 2) {
                const std::string line = "(SOURCE_FILE=" + text::Utf8ToCp932(name).value_or(std::string()) + ")";
                if (!context.output.Write(line) || !context.output.Write(s.endOfBlock)) {
                    context.messages.push_back(PlainMessage(msg::kWriteFailed));
                    return false;
                }
            }
            if (!ReadProgramFile(entry, name, context, expander))
                return false;
            continue;
        }
        if (LooksLikePath(entry.text) && !context.observer.AskYesNo(entry.text + msg::kNotFoundQuestion))
            return false;
        // A literal line goes out as it is, without any conversion.
        if (!context.output.Write(*data) || !context.output.Write(s.endOfBlock)) {
            context.messages.push_back(PlainMessage(msg::kWriteFailed));
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
        context.Fail(name + msg::kInputOpenFailedSuffix);
        return false;
    }
    context.listFolder = FolderOf(entry.file);
    context.filesRead.push_back(entry.file);
    context.observer.ShowStatus(name + msg::kReadingSuffix);
    context.observer.ShowFileName(name + msg::kCreatingSuffix);

    ProgressThrottle progress(context.observer, reader.Size());
    std::string block;
    block.reserve(4096);
    std::string_view piece;
    const bool plainLines = !context.settings.ignoreStrings && !context.settings.convert;
    for (;;) {
        if (plainLines) {
            std::size_t used = 0;
            const bool ok = PassPlainLines(reader.Ahead(), reader.Position(), context, progress, used);
            reader.Consume(used);
            if (!ok)
                return false;
        }
        if (!reader.NextView(piece))
            break;
        progress.Update(reader.Position());
        if (!ProcessBlock(piece, block, context, expander))
            return false;
    }
    if (reader.Failed()) {
        context.Fail(name + msg::kInputReadFailedSuffix);
        return false;
    }
    context.observer.SetProgress(0, static_cast<long long>(reader.Size()));
    context.observer.ShowStatus(name + msg::kReadingDoneSuffix);
    if (!reader.Close()) {
        context.Fail(msg::kInputCloseFailed);
        return false;
    }
    return true;
}

bool SendFileBuilder::ProcessBlock(std::string_view piece, std::string& block, BuildContext& context,
                                   SubprogramExpander& expander)
{
    const BlockSettings& s = context.settings;

    const std::string_view stripped = StripLineEnd(piece);
    const char first = FirstTrimmed(stripped);
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
    const unsigned classes = MayChange(stripped) ? Classify(stripped) : 0;
    if (classes == 0 && !s.ignoreStrings && !s.convert) {
        if (s.estimate)
            context.estimate.Add(stripped);
        return context.WriteUpperCased(stripped);
    }
    block.assign(stripped);
    return ProcessChangingBlock(block, classes, context, expander);
}

bool SendFileBuilder::ProcessChangingBlock(std::string& block, unsigned classes, BuildContext& context,
                                           SubprogramExpander& expander)
{
    const BlockSettings& s = context.settings;
    const bool cut = (classes & kCommentStart) != 0;
    if (cut)
        CutCommentStart(block, s.commentStartText);
    if (s.ignoreStrings)
        RemoveIgnoreStrings(block, s.ignorePieces);
    if (s.convert)
        ApplyConversionTable(block, s.conversionRows);
    // Later checks see the block as it goes out: text cut off above (a
    // two-byte remark after the comment start) is no longer in it.
    if (cut || s.ignoreStrings || s.convert)
        classes = Classify(block);
    if (classes & kParen) {
        if (!CommentPass(block, s.twoByteCheck)) {
            context.FailUnclosedComment();
            return false;
        }
        classes = Classify(block);
    }
    if (s.twoByteCheck && (classes & kLead)) {
        context.FailWithBlock(block, msg::kTwoByteCodeSuffix);
        return false;
    }
    if (s.dncMode && (classes & kHash)) {
        if (!DncCheck(block)) {
            context.FailWithBlock(block, msg::kNotForDncSuffix);
            return false;
        }
        classes = Classify(block);
    }
    if ((classes & kBracket) && ContainsText(block, "G65[")) {
        if (s.dncMode)
            return expander.Expand(block);
        context.FailWithBlock(block, msg::kG65InMemorySuffix);
        return false;
    }
    if (s.estimate)
        context.estimate.Add(block);
    if (classes & kLower)
        UpperCaseInPlace(block);
    return context.WriteUpperCased(block);
}

bool SendFileBuilder::MayChange(std::string_view block) const
{
#if defined(__SSE2__)
    // A short block, or the last bytes of a long one, overlap what was seen.
    const std::size_t n = block.size();
    if (n >= 16) {
        auto at = [this](const char* p) {
            return MayChangeBits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), commentByte_) != 0;
        };
        const char* p = block.data();
        const char* const last = p + n - 16;
        for (; p < last; p += 16) {
            if (at(p))
                return true;
        }
        return at(last);
    }
#endif
    return Classify(block) != 0;
}

bool SendFileBuilder::PassPlainLines(std::string_view ahead, std::uint64_t position, BuildContext& context,
                                     ProgressThrottle& progress, std::size_t& used)
{
    used = 0;
#if defined(__SSE2__)
    const BlockSettings& s = context.settings;
    const bool skipping = s.blockSkip && !s.blockSkipCharacter.empty();
    const char skip = skipping ? s.blockSkipCharacter.front() : '\0';
    const char* const begin = ahead.data();
    const char* const last = begin + ahead.size();
    const char* line = begin;
    for (;;) {
        // The line end and anything to change, sixteen bytes at a time. A
        // line that reaches past the bytes at hand is left to NextView.
        const char* end = nullptr;
        for (const char* p = line; p - line < static_cast<std::ptrdiff_t>(BlockReader::kMaxBlock); p += 16) {
            if (last - p < 16)
                return true;
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const auto ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
            const unsigned change = MayChangeBits(v, commentByte_);
            if (ends != 0) {
                const unsigned at = static_cast<unsigned>(__builtin_ctz(ends));
                if (change & ((1u << at) - 1))
                    return true;
                end = p + at;
                break;
            }
            if (change != 0)
                return true;
        }
        if (end == nullptr || end - line + 1 > static_cast<std::ptrdiff_t>(BlockReader::kMaxBlock))
            return true;
        const char* stop = end;
        while (stop > line && (stop[-1] == '\r' || stop[-1] == ' ' || stop[-1] == '\t'))
            --stop;
        const std::string_view block(line, static_cast<std::size_t>(stop - line));
        const char first = FirstTrimmed(block);
        if (first == '%' || first == 'O' || first == ':' || (skipping && !block.empty() && block.front() == skip))
            return true;
        progress.Update(position + static_cast<std::uint64_t>(end + 1 - begin));
        if (s.estimate)
            context.estimate.Add(block);
        if (!context.WriteUpperCased(block))
            return false;
        line = end + 1;
        used = static_cast<std::size_t>(line - begin);
    }
#else
    (void)ahead, (void)position, (void)context, (void)progress;
    return true;
#endif
}

unsigned SendFileBuilder::Classify(std::string_view block) const
{
    unsigned classes = 0;
    for (const char c : block)
        classes |= byteClasses_[static_cast<unsigned char>(c)];
    return classes;
}

} // namespace maroka::prepare
