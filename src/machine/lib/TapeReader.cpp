#include "machine/lib/TapeReader.h"

#include "core/text/ControlCodes.h"

#include <algorithm>

namespace maroka::machine {

using namespace text;

const char* ProgramEndName(ProgramEnd end)
{
    switch (end) {
    case ProgramEnd::TailPercent:
        return "closing %";
    case ProgramEnd::Dc4:
        return "DC4";
    case ProgramEnd::Silence:
        return "silence";
    case ProgramEnd::Stopped:
        return "stopped";
    }
    return "?";
}

TapeReader::TapeReader(bool requireDc2) : requireDc2_(requireDc2), state_(IdleState()) {}

void TapeReader::Feed(std::string_view bytes)
{
    for (char c : bytes)
        Feed(static_cast<unsigned char>(c));
}

void TapeReader::Feed(unsigned char byte)
{
    switch (state_) {
    case State::WaitDc2:
        if (byte == kDc2)
            state_ = State::Leader;
        else if (byte != kNul)
            ++skipped_;
        return;
    case State::Leader:
        if (byte == '%') {
            text_.assign(1, '%');
            atLineStart_ = false;
            state_ = State::Body;
        } else if (byte == kDc4) {
            state_ = IdleState();
        } else if (byte != kNul && byte != kCr && byte != kLf && (byte < kDc1 || byte > kDc4)) {
            ++skipped_;
        }
        return;
    case State::Body:
        if (byte == kNul || byte == kDc1 || byte == kDc2 || byte == kDc3)
            return;
        if (byte == kDc4) {
            Close(ProgramEnd::Dc4);
            return;
        }
        text_.push_back(static_cast<char>(byte));
        if (byte == '%' && atLineStart_) {
            state_ = State::Tail;
        } else if (byte == kLf) {
            atLineStart_ = true;
        } else if (byte != kCr) {
            // CR keeps the line start, so that LF CR CR line ends work too.
            atLineStart_ = false;
        }
        return;
    case State::Tail:
        if (byte == kNul)
            return;
        if (byte == kCr) {
            text_.push_back(static_cast<char>(byte));
        } else if (byte == kLf) {
            text_.push_back(static_cast<char>(byte));
            Close(ProgramEnd::TailPercent);
        } else {
            // Anything else after the closing "%" is the start of what follows.
            Close(ProgramEnd::TailPercent);
            if (byte != kDc4)
                Feed(byte);
        }
        return;
    }
}

void TapeReader::Finish(ProgramEnd why)
{
    if (state_ == State::Tail)
        Close(ProgramEnd::TailPercent);
    else if (state_ == State::Body)
        Close(why);
}

void TapeReader::Close(ProgramEnd why)
{
    ReceivedProgram program;
    program.text = std::move(text_);
    program.number = FindProgramNumber(program.text);
    program.lines = static_cast<std::size_t>(std::count(program.text.begin(), program.text.end(), '\n'));
    program.end = why;
    finished_.push_back(std::move(program));
    text_.clear();
    state_ = IdleState();
}

std::vector<ReceivedProgram> TapeReader::TakeFinished()
{
    std::vector<ReceivedProgram> out;
    out.swap(finished_);
    return out;
}

std::string FindProgramNumber(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        std::size_t first = line.find_first_not_of(" \t\r");
        if (first != std::string_view::npos && (line[first] == 'O' || line[first] == ':')) {
            std::size_t digits = first + 1;
            while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9')
                ++digits;
            if (digits > first + 1)
                return "O" + std::string(line.substr(first + 1, digits - first - 1));
        }
        pos = end + 1;
    }
    return {};
}

} // namespace maroka::machine
