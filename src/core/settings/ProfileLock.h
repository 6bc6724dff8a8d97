#pragma once

// An advisory lock that writers of one settings file hold from reading the
// file to replacing it, so that two instances (or two `settings set` runs)
// saving at the same moment never drop each other's changes. The file itself
// cannot carry the lock: every save replaces it with a new file. The lock
// lives on a hidden file beside it, ".<name>.lock", which stays.
//
// When the lock file cannot be made (a read-only folder, where no save can
// succeed anyway) the writer goes on without it.

#include <string>

namespace maroka::settings {

class ProfileLock {
public:
    explicit ProfileLock(const std::string& path);
    ~ProfileLock();
    ProfileLock(const ProfileLock&) = delete;
    ProfileLock& operator=(const ProfileLock&) = delete;

    bool Held() const { return fd_ >= 0; }

    // ".<name>.lock" beside the file a path leads to.
    static std::string LockPathFor(const std::string& path);

private:
    int fd_ = -1;
};

} // namespace maroka::settings
