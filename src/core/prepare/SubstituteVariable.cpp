#include "core/prepare/SubstituteVariable.h"

#include "core/text/TextSearch.h"

namespace maroka::prepare {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Position of `variable` at or after `from` whose number is not continued by
// another digit.
std::size_t FindVariable(std::string_view block, std::string_view variable, std::size_t from)
{
    for (std::size_t pos = block.find(variable, from); pos != std::string_view::npos;
         pos = block.find(variable, pos + 1)) {
        const std::size_t after = pos + variable.size();
        if (after >= block.size() || !IsDigit(block[after]))
            return pos;
    }
    return std::string_view::npos;
}

} // namespace

void SubstituteVariable(std::string& block, std::string_view variable, std::string_view text)
{
    std::size_t from = 0;
    if (block.find('(') != std::string::npos) {
        // Pass over each comment that holds the next occurrence.
        for (;;) {
            const std::size_t occurrence = FindVariable(block, variable, from);
            if (occurrence == std::string::npos)
                return;
            std::size_t scan = from;
            std::size_t commentEnd = std::string::npos;
            for (;;) {
                const std::size_t open = block.find('(', scan);
                if (open == std::string::npos || open > occurrence)
                    break;
                const std::size_t close = block.find(')', open + 1);
                if (close == std::string::npos)
                    break;
                if (occurrence < close) {
                    commentEnd = close + 1;
                    break;
                }
                scan = close + 1;
            }
            if (commentEnd == std::string::npos)
                break;
            from = commentEnd;
        }
    }
    text::ReplaceMatches(block, variable.size(), text, from,
                         [&](std::string_view in, std::size_t at) { return FindVariable(in, variable, at); });
}

} // namespace maroka::prepare
