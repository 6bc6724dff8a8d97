#pragma once

// The labels written in front of subprogram expansions during one build:
// display name + "." + a three-digit number, unique within the prepared file
// (compared without regard to case) until 999 are used.

#include <string>
#include <string_view>
#include <unordered_map>

namespace maroka::prepare {

class LabelList {
public:
    void Clear();

    // Takes the first free number of `displayName` (001 to 999; 999 again
    // once all are used) and returns the upper-cased label.
    std::string Take(std::string_view displayName);

    std::size_t Count() const { return count_; }

private:
    // Numbers are taken in order, so the last one taken per name is enough
    // to know the first free one.
    std::unordered_map<std::string, int> lastNumber_;
    std::size_t count_ = 0;
};

} // namespace maroka::prepare
