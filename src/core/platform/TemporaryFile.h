#pragma once

// A file of our own in the temporary folder, removed when it goes.

#include <optional>
#include <string>

namespace maroka::platform {

class TemporaryFile {
public:
    // Creates an empty file named after `prefix` in $TMPDIR (or /tmp).
    static std::optional<TemporaryFile> Create(const std::string& prefix);

    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile& operator=(TemporaryFile&& other) noexcept;
    TemporaryFile(const TemporaryFile&) = delete;
    ~TemporaryFile();

    const std::string& Path() const { return path_; }

private:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}

    std::string path_;
};

} // namespace maroka::platform
