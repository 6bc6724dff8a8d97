#pragma once

// Files and folders that refuse what a test needs refused, for every user,
// root included (CI runs as root, where permission bits bind nobody):
//
// - FileSizeLimit: for one scope no file of this process may grow past a
//   size; a write beyond it fails with EFBIG, as on a full disk.
// - kRefusingFolder: a folder in which nothing can be created, whoever asks.

#include <sys/resource.h>

#include <csignal>

namespace maroka::test {

// /proc/self exists for every process and takes no new entries.
inline constexpr const char* kRefusingFolder = "/proc/self";

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace maroka::test
