#include "core/text/Encoding.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace maroka::text {

namespace {

// Opening a converter costs a lookup through the system's converter tables,
// far more than converting a key or a line, so each thread keeps one per
// direction and resets its shift state before each use.
class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (IsOpen())
            iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool IsOpen() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // On an invalid or unconvertible sequence it either fails (replacement
    // empty) or emits the replacement and skips one byte.
    std::optional<std::string> Convert(std::string_view input, std::string_view replacement)
    {
        if (!IsOpen())
            return std::nullopt;
        // ASCII is the same bytes in both encodings, and most keys, numbers
        // and program lines are nothing else.
        if (IsAscii(input))
            return std::string(input);
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        // Straight into the result, grown when the converter runs out of room.
        std::string output(input.size() * 2 + 8, '\0');
        std::size_t used = 0;
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        while (inLeft > 0) {
            char* out = output.data() + used;
            std::size_t outLeft = output.size() - used;
            const std::size_t rc = iconv(handle_, &in, &inLeft, &out, &outLeft);
            used = static_cast<std::size_t>(out - output.data());
            if (rc != static_cast<std::size_t>(-1))
                continue;
            if (errno == E2BIG) {
                output.resize(output.size() * 2);
                continue;
            }
            if (replacement.empty())
                return std::nullopt;
            if (output.size() - used < replacement.size())
                output.resize(output.size() * 2 + replacement.size());
            replacement.copy(output.data() + used, replacement.size());
            used += replacement.size();
            ++in;
            --inLeft;
        }
        output.resize(used);
        return output;
    }

private:
    iconv_t handle_;
};

Converter& ToCp932()
{
    thread_local Converter converter("CP932", "UTF-8");
    return converter;
}

Converter& ToUtf8()
{
    thread_local Converter converter("UTF-8", "CP932");
    return converter;
}

} // namespace

std::optional<std::string> Utf8ToCp932(std::string_view utf8)
{
    return ToCp932().Convert(utf8, {});
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932)
{
    return ToUtf8().Convert(cp932, {});
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t value = 0;
        std::uint32_t minimum = 0;
        if (byte >= 0xC2 && byte <= 0xDF) {
            length = 2;
            value = byte & 0x1Fu;
            minimum = 0x80;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            length = 3;
            value = byte & 0x0Fu;
            minimum = 0x800;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            length = 4;
            value = byte & 0x07u;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0u) != 0x80u)
                return false;
            value = (value << 6) | (next & 0x3Fu);
        }
        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string Utf8ToCp932Lossy(std::string_view utf8)
{
    return ToCp932().Convert(utf8, "?").value_or(std::string());
}

std::string Cp932ToUtf8Lossy(std::string_view cp932)
{
    return ToUtf8().Convert(cp932, "\xEF\xBF\xBD").value_or(std::string());
}

} // namespace maroka::text
