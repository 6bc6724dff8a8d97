#pragma once

// The search and save folder of the server mode, as the machine reaches it.
//
// Names come from the machine and are not trusted: a name that is absolute,
// holds a path separator, "..", a control character, or that stands for an
// entry whose real place is outside the folder is never used. Controls send
// upper-case names while files on disk are often lower case, so a name that
// does not exist exactly is looked up without regard to the case of ASCII
// letters, but only when exactly one entry matches that way: with
// "prog.nc" and "PROG.NC" side by side, "Prog.nc" names neither.
//
// All names and paths here are UTF-8.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::server {

class ServerFolder {
public:
    explicit ServerFolder(std::string folder);

    const std::string& Path() const { return folder_; }
    // folder + "/" + name, as it is shown and logged.
    std::string PathOf(std::string_view name) const;

    // A name that can only mean an entry directly in the folder. The empty
    // name is not one.
    static bool IsSafeName(std::string_view name);

    // What a name stands for: the exact name always wins; a match without
    // regard to case counts only when it is the only one.
    struct Lookup {
        std::optional<std::string> path; // the real path of a plain file inside the folder
        bool ambiguous = false;          // no exact match and several without regard to case
    };
    Lookup Find(std::string_view name) const;
    // Find(name).path.
    std::optional<std::string> FindFile(std::string_view name) const;

    // Some entry (of any kind, a dangling link too) has this name in any case.
    bool NameTaken(std::string_view name) const;

    // `name`, or base + "-01" + extension, "-02", ... : the first that is not
    // taken. "%02d", so the hundredth is "-100".
    std::string MakeUniqueName(std::string_view name) const;

    // Creates an empty file under the first free name MakeUniqueName's rule
    // gives, with O_EXCL, so that another writer (a second server on the same
    // folder) can never be handed the same file: a name taken in between
    // moves on to the next number. The name, or the errno of the failure.
    struct Created {
        std::string name;
        int error = 0;
    };
    Created CreateUniqueFile(std::string_view name) const;

    // The plain files of the folder (no folders, no hidden files, nothing
    // that leads outside), sorted without regard to case.
    std::vector<std::string> ListFiles() const;

    enum class Outcome {
        Done,
        NotFound,
        Failed,
        Ambiguous, // several names match without regard to case, none exactly
    };
    Outcome Delete(std::string_view name) const;
    // Never replaces a file: a new name that is taken fails, unless it is
    // the same file under another case.
    Outcome Rename(std::string_view from, std::string_view to) const;

private:
    bool Inside(const std::string& path) const;
    std::vector<std::string> EntriesMatching(std::string_view name) const;

    std::string folder_;
};

} // namespace maroka::server
