#pragma once

// Reads the line's error word and classifies it as the send and receive
// loops need it.

#include "core/serial/SerialLine.h"

#include <functional>
#include <string>

namespace maroka::transfer {

struct LineErrorCheck {
    bool lineErrorSeen = false;
    bool errorQueryFailed = false;
    std::string lineErrorText;
    std::size_t inputQueued = 0;
    // Called for each line error that Check finds (not for a failed query):
    // a reception notes there where its data was damaged.
    std::function<void()> onLineError;

    // Returns true when a line error (or a failed query) is now known.
    bool Check(serial::SerialLine& line);
    // Why the query failed, to go below the message (empty when it did
    // not): a vanished device must say so, not only that its state was
    // unreadable.
    std::string QueryFailureDetail(const serial::SerialLine& line) const;
};

// `text`, then `detail` below an empty line when there is one.
std::string WithDetail(const std::string& text, const std::string& detail);

// The text of an error word that counts as a line error, or nullptr: only a
// word equal to exactly one of the listed bits counts.
const char* LineErrorText(std::uint32_t errors);

} // namespace maroka::transfer
