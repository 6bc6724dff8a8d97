#include "core/text/Encoding.h"

#include <cerrno>
#include <iconv.h>

namespace maroka::text {

namespace {

// One iconv conversion. On an invalid or unconvertible sequence it either
// fails (replacement empty) or emits the replacement and skips one byte.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view input,
                                   std::string_view replacement)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string output;
    output.reserve(input.size() * 3 / 2 + 4);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[4096];
    bool ok = true;
    while (inLeft > 0) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<std::size_t>(out - buffer));
        if (rc != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        if (replacement.empty()) {
            ok = false;
            break;
        }
        output.append(replacement);
        ++in;
        --inLeft;
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    return output;
}

} // namespace

std::optional<std::string> Utf8ToCp932(std::string_view utf8)
{
    return Convert("CP932", "UTF-8", utf8, {});
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932)
{
    return Convert("UTF-8", "CP932", cp932, {});
}

std::string Utf8ToCp932Lossy(std::string_view utf8)
{
    return Convert("CP932", "UTF-8", utf8, "?").value_or(std::string());
}

std::string Cp932ToUtf8Lossy(std::string_view cp932)
{
    return Convert("UTF-8", "CP932", cp932, "\xEF\xBF\xBD").value_or(std::string());
}

} // namespace maroka::text
