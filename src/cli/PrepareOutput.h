#pragma once

// Where `prepare` writes: the build goes to a temporary file, and only a
// finished build reaches its target, so a failure (or a target that is one
// of the files read) leaves the target as it was.
//
//   regular file or new name   temporary file beside it, renamed at the end
//   standard output            temporary file, copied to the stream (which
//                              keeps its own open mode: ">>" appends)
//   anything else (a device)   written to directly, never removed

#include <ostream>
#include <string>
#include <vector>

namespace maroka::cli {

class PrepareOutput {
public:
    // `target` "-" is `out`.
    PrepareOutput(std::string target, std::ostream& out);
    ~PrepareOutput();
    PrepareOutput(const PrepareOutput&) = delete;
    PrepareOutput& operator=(const PrepareOutput&) = delete;

    // The path the build writes into; empty with `error` set when none can be made.
    std::string Begin(std::string& error);
    // True when `path` is the target itself (checked before and after the build).
    bool IsTarget(const std::string& path) const;
    // Moves a finished build to the target; false with `error` set.
    bool Commit(const std::vector<std::string>& filesRead, std::string& error);

private:
    std::string target_;
    std::ostream& out_;
    std::string buildPath_;
    bool temporary_ = false;
};

} // namespace maroka::cli
