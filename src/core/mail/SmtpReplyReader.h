#pragma once

// Puts the lines of one SMTP reply together: "250-..." lines continue it,
// the first "250 ..." (or a bare "250") ends it. Every line must start with
// the same three digits; anything else is not an SMTP reply.

#include <string_view>

namespace maroka::mail {

class SmtpReplyReader {
public:
    enum class State {
        More,    // a continuation line: the reply goes on
        Done,    // the last line: Code() is the reply's code
        Invalid, // not a reply line, or a code that changed mid-reply
    };

    // One line without its line end.
    State Line(std::string_view line);
    int Code() const { return code_; }

private:
    int code_ = -1;
};

} // namespace maroka::mail
