#pragma once

// One log on disk, newest entry first. Each write reads the whole file,
// inserts its entries, trims the oldest lines to a size limit and writes the
// file back; nothing is kept in memory between writes, so a log deleted by
// the user is simply made again by the next entry. A write costs time in
// proportion to the log: where a caller cannot wait for that, BackgroundLog
// writes the entries behind it.
//
// On disk a log is CP932 with CR LF line ends (LF alone is read as well).
// It is rewritten through a temporary file in the same folder and a rename,
// so a crash or a full disk leaves either the old or the new log, never a
// torn one.

#include "core/logs/LogTime.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace maroka::logs {

// A composed line holds at most this many bytes in its CP932 form,
// a trailing "\r\n" of the message included.
inline constexpr std::size_t kMaxLogLineBytes = 255;

struct LogFailure {
    enum class Step {
        Read,
        Write,
    };
    Step step = Step::Write;
    std::string path;
    int error = 0; // errno of the failed call

    // "<path>: <reason>", for a message or a status line.
    std::string Describe() const;
};

// nullopt when the entry has been written (or was not wanted).
using LogResult = std::optional<LogFailure>;

enum class DeleteLogResult {
    Deleted,
    NoLog,
    Failed,
};

// time + "\t" + subject + "\t" + message, converted to CP932 and cut to
// kMaxLogLineBytes at a character boundary. A message ending in "\r\n" marks
// the end of a transfer (it goes below its start line and leaves an empty
// line after it), so a cut line keeps that "\r\n" and loses text before it.
std::string ComposeLogLine(std::string_view time, std::string_view subject, std::string_view message);

// One entry as it will stand in the log, its time taken when it was made.
struct LogEntry {
    std::string line;      // ComposeLogLine's text; the CR LF that ends the line comes when written
    bool endEntry = false; // the message ended a transfer (it held "\r\n")
    std::optional<std::size_t> limitBytes;
};

class LogFile {
public:
    explicit LogFile(std::string path, LogClock clock = CurrentLogTime);

    const std::string& Path() const { return path_; }

    // An entry stamped with the clock's time now, to be written later.
    LogEntry MakeEntry(std::string_view subject, std::string_view message,
                       std::optional<std::size_t> limitBytes = std::nullopt) const;

    // Adds an entry. A message that contains "\r\n" goes directly below the
    // top line (below the start line of its transfer), any other to the top;
    // into a log without lines both go to the top. With a limit, the oldest
    // lines are removed while the text (each line plus CR LF) is above it,
    // until it is below it. A log that cannot be read is left untouched.
    LogResult AddEntry(std::string_view subject, std::string_view message,
                       std::optional<std::size_t> limitBytes = std::nullopt) const;

    // Adds entries in their order, each as AddEntry would, with one read and
    // one replacement of the file: all of them are in the log afterwards, or
    // (on a failure) none.
    LogResult Write(std::span<const LogEntry> entries) const;

    // The log exists as a file (a folder of that name does not count).
    bool Exists() const;
    DeleteLogResult Delete() const;

private:
    std::string path_;
    LogClock clock_;
};

} // namespace maroka::logs
