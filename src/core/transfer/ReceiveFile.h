#pragma once

// The file a reception writes into. Writes go straight to the descriptor, so
// a full disk shows at the write that hit it, not at a later flush, and a
// file removed from under the reception counts as a failed write: its bytes
// would otherwise go nowhere without a word.

#include <string>
#include <string_view>

namespace maroka::transfer {

class ReceiveFile {
public:
    ReceiveFile() = default;
    ~ReceiveFile();
    ReceiveFile(const ReceiveFile&) = delete;
    ReceiveFile& operator=(const ReceiveFile&) = delete;

    // Creates `path` for writing, truncating it.
    bool Open(const std::string& path);
    // Writes all of `bytes`; false on any failure (see LastError()).
    bool Write(std::string_view bytes);
    // Closes the file; false when closing fails. Closed afterwards either way.
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }

    // The reason of the last failure, e.g. "No space left on device".
    const std::string& LastError() const { return lastError_; }

private:
    bool Fail(int errorNumber);

    int fd_ = -1;
    std::string lastError_;
};

} // namespace maroka::transfer
