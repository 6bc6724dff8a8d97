#include "core/editor/ListText.h"

#include "core/editor/EditorMessages.h"
#include "core/text/Encoding.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace maroka::editor {

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        start = last ? text.size() : end + 1;
    }
    return lines;
}

std::optional<std::vector<std::string>> ReadTextLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return SplitLines(text::IsValidUtf8(bytes) ? bytes : text::Cp932ToUtf8Lossy(bytes));
}

bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    const std::optional<std::string> cp932 = text::Utf8ToCp932(text);
    const std::string& bytes = cp932 ? *cp932 : text;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

std::string LineFile(std::string_view line)
{
    constexpr std::string_view kCall = "G65[";
    if (line.substr(0, kCall.size()) != kCall)
        return std::string(line);
    const std::string_view rest = line.substr(kCall.size());
    return std::string(rest.substr(0, rest.find(']')));
}

std::string CaretStatus(std::size_t index, std::string_view file)
{
    return " [" + std::to_string(index + 1) + "] " + fs::path(file).filename().string();
}

std::string ExtensionOf(std::string_view path)
{
    return fs::path(path).extension().string();
}

void AddUserFilter(std::string& filter, std::string_view path)
{
    const std::string extension = ExtensionOf(path);
    if (extension.empty() || filter.find(extension) != std::string::npos)
        return;
    filter += msg::kUserFilterPrefix + extension + msg::kUserFilterMiddle + extension;
}

} // namespace maroka::editor
