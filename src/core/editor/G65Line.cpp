#include "core/editor/G65Line.h"

#include "core/editor/ListText.h"

namespace maroka::editor {

namespace {

constexpr std::string_view kTokenChars = "#0123456789";

void ScanLine(std::string_view line, std::string& variables)
{
    std::size_t hash = line.find('#');
    while (hash != std::string_view::npos) {
        const std::string_view rest = line.substr(hash);
        std::size_t length = rest.find_first_not_of(kTokenChars);
        if (length == std::string_view::npos)
            length = rest.size();
        std::size_t next = hash + 1;
        if (length >= 2) {
            const std::string token = std::string(rest.substr(0, length)) + ' ';
            // Matched from a blank, so "#1 " is not found inside "##1 ".
            if ((' ' + variables).find(' ' + token) == std::string::npos)
                variables += token;
            next = hash + length;
        }
        hash = line.find('#', next);
    }
}

} // namespace

std::string ScanVariables(const std::vector<std::string>& lines)
{
    std::string variables;
    for (const std::string& line : lines)
        ScanLine(line, variables);
    return variables;
}

std::string G65Line(std::string_view path, std::string_view variables)
{
    std::string line = "G65[" + std::string(path) + "]";
    if (!variables.empty())
        line += "(" + std::string(variables) + ")";
    return line;
}

std::optional<std::string> G65LineForFile(const std::string& path)
{
    const std::optional<std::vector<std::string>> lines = ReadTextLines(path);
    if (!lines)
        return std::nullopt;
    return G65Line(path, ScanVariables(*lines));
}

} // namespace maroka::editor
