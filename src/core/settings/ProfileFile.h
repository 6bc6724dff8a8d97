#pragma once

// A profile (INI) file with the rules of the Windows profile functions, so
// that files written by earlier versions read the same:
//
// - "[section]" lines and "key=value" lines; blanks around names and values
//   are ignored, and a value enclosed in matching quotes loses the quotes.
// - Section and key names match without regard to ASCII letter case; the
//   first matching section is the section, its first matching key the key.
// - A value reads back at most kMaxValueBytes bytes, cut at a character
//   boundary.
// - Lines we do not touch (other sections, unknown keys, comments, blank
//   lines) are kept as they are.
//
// Names and values are UTF-8 here; the file is CP932 with CR LF line ends
// (LF-only files read as well). A file saved by an editor as UTF-8 (with or
// without a byte order mark) is read as UTF-8 and written back as CP932 by
// the next Commit(); a file that is neither is refused, and a refused file
// is never written. A file is rewritten as a whole through a
// temporary file in the same folder that is synced and renamed over the old
// one, so a failed write always leaves the old file as it was.
//
// Typical use: Load(), several Read/Write/Delete, one Commit().

#include "core/text/Cp932.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace maroka::settings {

inline constexpr std::size_t kMaxValueBytes = 2047;

enum class ProfileErrorKind {
    None,
    Read,     // the file exists but could not be read
    Write,    // the system refused the write (read-only file or folder, full disk, ...)
    Text,     // a name or value that the file cannot hold (no CP932 form, line break)
    Encoding, // the file is neither CP932 nor UTF-8
};

enum class ProfileEncoding {
    Cp932,
    Utf8,
};

struct ProfileStatus {
    ProfileErrorKind kind = ProfileErrorKind::None;
    std::string detail; // system error text, or what was wrong with the text

    bool Ok() const { return kind == ProfileErrorKind::None; }
};

class ProfileFile {
public:
    explicit ProfileFile(std::string path);

    const std::string& Path() const { return path_; }

    // Reads the file from disk, dropping unsaved changes. A missing file is
    // an empty profile, not an error.
    [[nodiscard]] ProfileStatus Load();

    // What the last Load() found the file to be written in.
    ProfileEncoding Encoding() const { return encoding_; }

    // The value, or nullopt when the section or the key is missing.
    std::optional<std::string> Read(std::string_view section, std::string_view key) const;

    // Replaces the value in place, or adds the key at the end of its section,
    // or adds the section at the end of the file. Nothing changes on failure.
    [[nodiscard]] ProfileStatus Write(std::string_view section, std::string_view key, std::string_view value);

    // Removes the key (every copy of it in the section that counts).
    void Delete(std::string_view section, std::string_view key);

    // Writes the profile back atomically. Does nothing when no Write or
    // Delete changed a line, as the Windows functions skip an unchanged value.
    [[nodiscard]] ProfileStatus Commit();

    // The bytes Commit() would write.
    std::string Serialise() const;

    // One operation each: load, change, commit.
    static std::optional<std::string> ReadValue(const std::string& path, std::string_view section,
                                                std::string_view key);
    [[nodiscard]] static ProfileStatus WriteValue(const std::string& path, std::string_view section,
                                                  std::string_view key, std::string_view value);
    [[nodiscard]] static ProfileStatus DeleteKey(const std::string& path, std::string_view section,
                                                 std::string_view key);

private:
    struct Section {
        std::size_t header = 0; // index of the "[section]" line
        std::size_t end = 0;    // one past the section's last line
        // Each key's first line, by its name in any case.
        std::unordered_map<std::string, std::size_t, text::IgnoreCaseHash, text::IgnoreCaseEqual> keys;
    };

    // Splits `bytes` into lines_, converting a UTF-8 file to CP932.
    ProfileStatus TakeLines(std::string_view bytes);
    // Lists the sections and their keys again after lines_ changed, so that a
    // load of many keys does not scan the whole file for each one.
    void IndexSections();
    const Section* FindSection(std::string_view cp932Section) const;
    // The CP932 form of a section name, or nullopt when it has none.
    const std::optional<std::string>& SectionToCp932(std::string_view section) const;
    std::optional<std::size_t> FindKey(const Section& section, std::string_view cp932Key) const;

    std::string path_;
    std::vector<std::string> lines_; // CP932, without line ends
    // By name in any case; only the first section of a name counts, so later
    // ones are not listed.
    std::unordered_map<std::string, Section, text::IgnoreCaseHash, text::IgnoreCaseEqual> sections_;
    // A load reads a hundred keys of one section; its name is converted once.
    mutable std::string lastSection_;
    mutable std::optional<std::string> lastSectionCp932_;
    bool changed_ = false;
    ProfileEncoding encoding_ = ProfileEncoding::Cp932;
};

} // namespace maroka::settings
