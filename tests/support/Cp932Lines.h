#pragma once

// UTF-8 text with "\n" line ends as the CP932, CR LF bytes of a file the
// program writes or reads.

#include "core/text/Encoding.h"

#include <string>
#include <string_view>

namespace maroka::test {

inline std::string Cp932Lines(std::string_view utf8)
{
    std::string crlf;
    for (const char c : utf8) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    return text::Utf8ToCp932(crlf).value();
}

} // namespace maroka::test
