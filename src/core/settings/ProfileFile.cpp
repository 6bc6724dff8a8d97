#include "core/settings/ProfileFile.h"

#include "core/settings/AtomicFile.h"
#include "core/settings/SettingsMessages.h"
#include "core/text/Cp932.h"
#include "core/text/Encoding.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace maroka::settings {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Trail bytes of CP932 never fall in 0x09 or 0x20, so trimming bytes is safe.
std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsQuote(char c)
{
    return c == '"' || c == '\'';
}

// The section name of a "[name]" line, or nullopt for any other line. "]" may
// be the trail byte of a two-byte character, so look for it at a boundary.
std::optional<std::string_view> SectionName(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    const std::size_t close = text::FindAtCharBoundary(line, "]");
    return Trim(line.substr(0, close));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line)
{
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[')
        return std::nullopt;
    const std::size_t equals = text::FindAtCharBoundary(trimmed, "=");
    if (equals == std::string_view::npos)
        return std::nullopt;
    return KeyLine{Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
}

// A value in matching quotes loses them when read, as the Windows functions do.
std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back())
        return value.substr(1, value.size() - 2);
    return value;
}

// The form to store so that reading gives `value` back: blanks at either end
// or quotes around it would be lost, so such a value goes in double quotes.
std::string Quote(std::string_view value)
{
    const bool blankAtEnd = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
    if (blankAtEnd || value != Unquote(value))
        return "\"" + std::string(value) + "\"";
    return std::string(value);
}

bool HasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Bytes of the file that are not valid CP932 read as "?", like the
// replacement of a conversion that cannot be done.
std::string ToUtf8(std::string_view cp932)
{
    if (auto utf8 = text::Cp932ToUtf8(cp932))
        return *std::move(utf8);
    const std::string lossy = text::Cp932ToUtf8Lossy(cp932);
    const std::string_view replacement = "\xEF\xBF\xBD";
    std::string result;
    result.reserve(lossy.size());
    for (std::size_t i = 0; i < lossy.size();) {
        if (lossy.compare(i, replacement.size(), replacement) == 0) {
            result += '?';
            i += replacement.size();
        } else {
            result += lossy[i++];
        }
    }
    return result;
}

ProfileStatus TextError(std::string detail)
{
    return {ProfileErrorKind::Text, std::move(detail)};
}

} // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {}

ProfileStatus ProfileFile::Load()
{
    lines_.clear();
    sections_.clear();
    changed_ = false;
    encoding_ = ProfileEncoding::Cp932;

    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return {};
        return {ProfileErrorKind::Read, SystemErrorText(errno)};
    }
    std::string bytes;
    char buffer[8192];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            const int errorNumber = errno;
            ::close(fd);
            return {ProfileErrorKind::Read, SystemErrorText(errorNumber)};
        }
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);

    return TakeLines(bytes);
}

ProfileStatus ProfileFile::TakeLines(std::string_view bytes)
{
    const std::string_view bom = "\xEF\xBB\xBF";
    const bool hasBom = bytes.substr(0, bom.size()) == bom;
    if (hasBom)
        bytes.remove_prefix(bom.size());
    std::vector<std::string> raw;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string line(bytes.substr(start, end - start));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        raw.push_back(std::move(line));
        start = next;
    }

    // Japanese text in UTF-8 often passes for CP932 as well (as different
    // characters), while CP932 text, our own section name among it, is never
    // valid UTF-8: so UTF-8 is tried first, and only a file with bytes
    // beyond ASCII counts as UTF-8.
    const bool utf8 = text::IsValidUtf8(bytes) && (hasBom || !text::IsAscii(bytes));
    if (utf8) {
        encoding_ = ProfileEncoding::Utf8;
        for (std::string& line : raw)
            line = text::Utf8ToCp932Lossy(line);
        lines_ = std::move(raw);
        IndexSections();
        // Written back as CP932 by the next commit, even if no value changes.
        changed_ = true;
        return {};
    }
    // A CP932 trail byte is never a line end, so a file that converts as a
    // whole has no line that does not, and one that does not has such a line.
    if (!hasBom && text::Cp932ToUtf8(bytes)) {
        encoding_ = ProfileEncoding::Cp932;
        lines_ = std::move(raw);
        IndexSections();
        return {};
    }
    // The line to name: with a byte order mark the first that is not UTF-8;
    // otherwise the first that is neither, else the first that is not CP932
    // (a file that mixes the two).
    std::size_t bad = 0;
    if (hasBom) {
        while (bad < raw.size() && text::IsValidUtf8(raw[bad]))
            ++bad;
    } else {
        std::optional<std::size_t> notCp932;
        std::optional<std::size_t> neither;
        for (std::size_t i = 0; i < raw.size() && !neither; ++i) {
            if (text::Cp932ToUtf8(raw[i]))
                continue;
            if (!notCp932)
                notCp932 = i;
            if (!text::IsValidUtf8(raw[i]))
                neither = i;
        }
        bad = neither.value_or(notCp932.value_or(0));
    }
    return {ProfileErrorKind::Encoding, msg::FormatMessage(msg::kUnknownEncodingDetail, std::to_string(bad + 1))};
}

void ProfileFile::IndexSections()
{
    sections_.clear();
    Section* current = nullptr;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (const auto name = SectionName(lines_[i])) {
            if (current)
                current->end = i;
            const auto [entry, first] = sections_.try_emplace(std::string(*name), Section{i, lines_.size(), {}});
            current = first ? &entry->second : nullptr;
        } else if (current) {
            if (const auto line = ParseKeyLine(lines_[i]))
                current->keys.try_emplace(std::string(line->key), i);
        }
    }
}

const std::optional<std::string>& ProfileFile::SectionToCp932(std::string_view section) const
{
    if (section != lastSection_ || !lastSectionCp932_) {
        lastSection_ = section;
        lastSectionCp932_ = text::Utf8ToCp932(section);
    }
    return lastSectionCp932_;
}

const ProfileFile::Section* ProfileFile::FindSection(std::string_view cp932Section) const
{
    const auto found = sections_.find(cp932Section);
    return found == sections_.end() ? nullptr : &found->second;
}

std::optional<std::size_t> ProfileFile::FindKey(const Section& section, std::string_view cp932Key) const
{
    const auto found = section.keys.find(cp932Key);
    if (found == section.keys.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::string> ProfileFile::Read(std::string_view section, std::string_view key) const
{
    const auto& cp932Section = SectionToCp932(section);
    const auto cp932Key = text::Utf8ToCp932(key);
    if (!cp932Section || !cp932Key)
        return std::nullopt;
    const Section* found = FindSection(*cp932Section);
    if (!found)
        return std::nullopt;
    const auto index = FindKey(*found, *cp932Key);
    if (!index)
        return std::nullopt;
    const std::string_view value = Unquote(ParseKeyLine(lines_[*index])->value);
    return ToUtf8(text::CutAtCharBoundary(value, kMaxValueBytes));
}

ProfileStatus ProfileFile::Write(std::string_view section, std::string_view key, std::string_view value)
{
    const auto& cp932Section = SectionToCp932(section);
    const auto cp932Key = text::Utf8ToCp932(key);
    const auto cp932Value = text::Utf8ToCp932(value);
    if (!cp932Section || !cp932Key)
        return TextError(msg::FormatMessage(msg::kNameNotStorableDetail, key));
    if (!cp932Value)
        return TextError(msg::FormatMessage(msg::kValueNotStorableDetail, key));
    if (HasLineBreak(section) || section.find(']') != std::string_view::npos || Trim(section).empty())
        return TextError(msg::FormatMessage(msg::kNameNotStorableDetail, section));
    const std::string_view trimmedKey = Trim(key);
    if (HasLineBreak(key) || key.find('=') != std::string_view::npos || trimmedKey.empty() ||
        trimmedKey.front() == '[' || trimmedKey.front() == ';')
        return TextError(msg::FormatMessage(msg::kNameNotStorableDetail, key));
    if (HasLineBreak(value))
        return TextError(msg::FormatMessage(msg::kValueHasLineBreakDetail, key));

    const std::string stored = Quote(*cp932Value);
    const Section* found = FindSection(*cp932Section);
    if (!found) {
        if (!lines_.empty() && !Trim(lines_.back()).empty())
            lines_.emplace_back();
        lines_.push_back("[" + *cp932Section + "]");
        lines_.push_back(*cp932Key + "=" + stored);
        IndexSections();
        changed_ = true;
        return {};
    }
    if (const auto index = FindKey(*found, *cp932Key)) {
        // Keep the key as the file spells it.
        const std::string line = std::string(ParseKeyLine(lines_[*index])->key) + "=" + stored;
        if (lines_[*index] != line) {
            lines_[*index] = line;
            changed_ = true;
        }
        return {};
    }
    // After the section's last non-blank line, so a blank line that
    // separates it from the next section stays where it is.
    std::size_t insertAt = found->end;
    while (insertAt > found->header + 1 && Trim(lines_[insertAt - 1]).empty())
        --insertAt;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), *cp932Key + "=" + stored);
    IndexSections();
    changed_ = true;
    return {};
}

void ProfileFile::Delete(std::string_view section, std::string_view key)
{
    const auto& cp932Section = SectionToCp932(section);
    const auto cp932Key = text::Utf8ToCp932(key);
    if (!cp932Section || !cp932Key)
        return;
    const Section* found = FindSection(*cp932Section);
    if (!found)
        return;
    bool erased = false;
    for (std::size_t i = found->end; i > found->header + 1; --i) {
        const auto line = ParseKeyLine(lines_[i - 1]);
        if (line && text::EqualsIgnoreCase(line->key, *cp932Key)) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i - 1));
            erased = true;
        }
    }
    if (erased) {
        IndexSections();
        changed_ = true;
    }
}

std::string ProfileFile::Serialise() const
{
    std::string bytes;
    for (const std::string& line : lines_) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

ProfileStatus ProfileFile::Commit()
{
    if (!changed_)
        return {};
    const std::string bytes = Serialise();
    if (auto error = ReplaceFileAtomically(path_, bytes))
        return {ProfileErrorKind::Write, *std::move(error)};
    changed_ = false;
    return {};
}

std::optional<std::string> ProfileFile::ReadValue(const std::string& path, std::string_view section,
                                                  std::string_view key)
{
    ProfileFile file(path);
    if (!file.Load().Ok())
        return std::nullopt;
    return file.Read(section, key);
}

ProfileStatus ProfileFile::WriteValue(const std::string& path, std::string_view section, std::string_view key,
                                      std::string_view value)
{
    ProfileFile file(path);
    ProfileStatus status = file.Load();
    if (!status.Ok())
        return status;
    status = file.Write(section, key, value);
    if (!status.Ok())
        return status;
    return file.Commit();
}

ProfileStatus ProfileFile::DeleteKey(const std::string& path, std::string_view section, std::string_view key)
{
    ProfileFile file(path);
    ProfileStatus status = file.Load();
    if (!status.Ok())
        return status;
    file.Delete(section, key);
    return file.Commit();
}

} // namespace maroka::settings
