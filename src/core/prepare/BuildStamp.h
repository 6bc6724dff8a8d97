#pragma once

// What a prepared send file was built from, so that an unchanged selection
// is not built again, and a changed one never sends stale data: the
// prepared file's size and modification time, the settings the blocks went
// through (MEM/DNC included), the list entries, and the size and
// modification time of every program file read.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace maroka::prepare {

struct FileStamp {
    std::string path;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;

    bool operator==(const FileStamp&) const = default;
};

class BuildStamp {
public:
    static std::optional<FileStamp> Take(const std::string& path);

    void Clear() { valid_ = false; }
    bool Valid() const { return valid_; }

    // `key` holds the settings and the list entries; `entryFiles` the file
    // each entry named (empty for a literal line).
    void Record(const std::string& outputPath, const std::string& key, std::vector<std::string> entryFiles,
                const std::vector<std::string>& filesRead);

    bool Matches(const std::string& outputPath, const std::string& key,
                 const std::vector<std::string>& entryFiles) const;

private:
    bool valid_ = false;
    FileStamp output_;
    std::string key_;
    std::vector<std::string> entryFiles_;
    std::vector<FileStamp> sources_;
};

} // namespace maroka::prepare
