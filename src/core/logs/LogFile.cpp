#include "core/logs/LogFile.h"

#include "core/text/Cp932.h"
#include "core/text/Encoding.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace maroka::logs {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Reads the whole file; a missing file reads as empty.
std::optional<int> ReadWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? std::nullopt : std::optional<int>(errno);
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0)
            break;
        if (errno == EINTR)
            continue;
        const int error = errno;
        ::close(fd);
        return error;
    }
    ::close(fd);
    return std::nullopt;
}

// Every line ended by CR LF, as the log is written; a log edited elsewhere
// may have LF alone. Untouched (and not copied) when it is all CR LF already.
void NormaliseLineEnds(std::string& text)
{
    bool bare = false;
    for (std::size_t lf = text.find('\n'); lf != std::string::npos && !bare; lf = text.find('\n', lf + 1))
        bare = lf == 0 || text[lf - 1] != '\r';
    if (!bare)
        return;
    std::string normal;
    normal.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            normal.push_back('\r');
        normal.push_back(text[i]);
    }
    text = std::move(normal);
}

// Where the line after the first one starts: the top line keeps its place
// above an end entry. 0 when the log has no line; the whole text when its
// only line has no end yet.
std::size_t SecondLineStart(std::string_view text)
{
    const std::size_t lf = text.find('\n');
    return lf == std::string_view::npos ? text.size() : lf + 1;
}

// The length of the longest run of whole lines from the top that is below
// `limit`, when `text` is above it: the oldest lines go one by one.
std::size_t TrimmedLength(std::string_view text, std::size_t limit)
{
    std::size_t length = text.size();
    if (length <= limit)
        return length;
    while (length > 0 && length >= limit) {
        const std::size_t lf = length >= 2 ? text.rfind('\n', length - 2) : std::string_view::npos;
        length = lf == std::string_view::npos ? 0 : lf + 1;
    }
    return length;
}

std::optional<int> WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return std::nullopt;
}

// Opens a new file beside `path`, with the mode of the file it will replace.
int CreateTemporary(const std::string& path, std::string& tempPath)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            struct stat old {};
            if (::stat(path.c_str(), &old) == 0)
                ::fchmod(fd, old.st_mode & 07777);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

std::optional<int> ReplaceFile(const std::string& path, std::string_view bytes)
{
    std::string tempPath;
    const int fd = CreateTemporary(path, tempPath);
    if (fd < 0)
        return errno;
    std::optional<int> error = WriteAll(fd, bytes);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(tempPath.c_str(), path.c_str()) != 0)
        error = errno;
    if (error)
        ::unlink(tempPath.c_str());
    return error;
}

} // namespace

std::string LogFailure::Describe() const
{
    return path + ": " + std::strerror(error);
}

std::string ComposeLogLine(std::string_view time, std::string_view subject, std::string_view message)
{
    std::string utf8;
    utf8.reserve(time.size() + subject.size() + message.size() + 2);
    utf8.append(time);
    utf8.push_back('\t');
    utf8.append(subject);
    utf8.push_back('\t');
    utf8.append(message);
    std::string line = text::Utf8ToCp932Lossy(utf8);
    if (line.size() <= kMaxLogLineBytes)
        return line;

    const bool endEntry = line.ends_with(kLineEnd);
    std::string_view body = line;
    if (endEntry)
        body.remove_suffix(kLineEnd.size());
    std::string cut(text::CutAtCharBoundary(body, kMaxLogLineBytes - (endEntry ? kLineEnd.size() : 0)));
    // Half a line break would read back as a stray CR.
    if (!cut.empty() && cut.back() == '\r')
        cut.pop_back();
    if (endEntry)
        cut.append(kLineEnd);
    return cut;
}

LogFile::LogFile(std::string path, LogClock clock)
    : path_(std::move(path)), clock_(clock ? std::move(clock) : LogClock(CurrentLogTime))
{
}

LogEntry LogFile::MakeEntry(std::string_view subject, std::string_view message,
                            std::optional<std::size_t> limitBytes) const
{
    return LogEntry{ComposeLogLine(clock_(), subject, message), message.find(kLineEnd) != std::string_view::npos,
                    limitBytes};
}

LogResult LogFile::AddEntry(std::string_view subject, std::string_view message,
                            std::optional<std::size_t> limitBytes) const
{
    const LogEntry entry = MakeEntry(subject, message, limitBytes);
    return Write(std::span(&entry, 1));
}

LogResult LogFile::Write(std::span<const LogEntry> entries) const
{
    if (entries.empty())
        return std::nullopt;
    std::string text;
    if (const auto error = ReadWholeFile(path_, text))
        return LogFailure{LogFailure::Step::Read, path_, *error};

    // The log is handled as bytes, not as a list of lines: a large log then
    // costs one copy per entry instead of an allocation per line. An end
    // entry's own "\r\n" makes the empty line below it.
    NormaliseLineEnds(text);
    if (!text.empty() && text.back() != '\n')
        text.append(kLineEnd);
    for (const LogEntry& entry : entries) {
        const std::size_t position = entry.endEntry ? SecondLineStart(text) : 0;
        std::string line = entry.line;
        line.append(kLineEnd);
        text.insert(position, line);
        if (entry.limitBytes)
            text.resize(TrimmedLength(text, *entry.limitBytes));
    }
    if (const auto error = ReplaceFile(path_, text))
        return LogFailure{LogFailure::Step::Write, path_, *error};
    return std::nullopt;
}

bool LogFile::Exists() const
{
    struct stat info {};
    return ::stat(path_.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

DeleteLogResult LogFile::Delete() const
{
    if (::unlink(path_.c_str()) == 0)
        return DeleteLogResult::Deleted;
    return errno == ENOENT ? DeleteLogResult::NoLog : DeleteLogResult::Failed;
}

} // namespace maroka::logs
