#include "core/transfer/BlockStatus.h"

#include "core/text/Encoding.h"
#include "core/transfer/TransferMessages.h"

namespace maroka::transfer {

std::string BlockStatus::Update(std::string_view line, bool showComments, TransferMode mode,
                                const std::string& displayName)
{
    if (!showComments) {
        if (mode == TransferMode::Send)
            return " " + displayName + msg::kBoxSending;
        if (mode == TransferMode::Receive)
            return " " + displayName + msg::kBoxReceiving;
        return " " + displayName;
    }
    const bool label = !line.empty() && (line.front() == 'O' || line.front() == ':');
    if (!label && line.find('(') == std::string_view::npos)
        return {};
    if (label) {
        const std::string_view digits = line.front() == 'O' ? "O0123456789" : ":0123456789";
        const std::size_t run = line.find_first_not_of(digits);
        status_ = std::string(line.substr(0, run));
    }
    // Comments in line order; an unclosed "(" shows up to the end of the line.
    for (std::size_t open = line.find('('); open != std::string_view::npos; open = line.find('(', open)) {
        const std::size_t close = line.find(')', open);
        const std::size_t end = close == std::string_view::npos ? line.size() : close + 1;
        status_.append(line.substr(open, end - open));
        open = end;
    }
    std::string shown = status_.empty() ? std::string() : text::Cp932ToUtf8Lossy(status_);
    if (const std::size_t paren = status_.find('('); paren != std::string::npos)
        status_.resize(paren);
    return shown;
}

} // namespace maroka::transfer
