// The SMTP reply reader on random server output, line by line: it must end
// each reply or refuse it, and a finished reply's code is its lines' code.

#include "core/mail/SmtpReplyReader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace maroka;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    mail::SmtpReplyReader reader;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        switch (reader.Line(line)) {
        case mail::SmtpReplyReader::State::More:
            break;
        case mail::SmtpReplyReader::State::Done:
            if (reader.Code() != (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0'))
                std::abort();
            reader = {};
            break;
        case mail::SmtpReplyReader::State::Invalid:
            reader = {};
            break;
        }
    }
    return 0;
}
