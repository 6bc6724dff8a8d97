#pragma once

// The status line shown for each sent or received line: the program number
// and the comments of the line, or the name of the file being moved.

#include "core/transfer/TransferMode.h"

#include <string>
#include <string_view>

namespace maroka::transfer {

class BlockStatus {
public:
    // Returns the status text to show for `line` (CP932 bytes), or nothing
    // when the status line stays as it is. With comments off the text is
    // built from `displayName` (UTF-8) and the mode.
    std::string Update(std::string_view line, bool showComments, TransferMode mode, const std::string& displayName);
    void Clear() { status_.clear(); }

private:
    std::string status_;
};

} // namespace maroka::transfer
