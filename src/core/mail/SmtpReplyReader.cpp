#include "core/mail/SmtpReplyReader.h"

namespace maroka::mail {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

SmtpReplyReader::State SmtpReplyReader::Line(std::string_view line)
{
    if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]))
        return State::Invalid;
    if (line.size() > 3 && line[3] != '-' && line[3] != ' ')
        return State::Invalid;
    const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    if (code_ >= 0 && code != code_)
        return State::Invalid;
    code_ = code;
    return line.size() > 3 && line[3] == '-' ? State::More : State::Done;
}

} // namespace maroka::mail
