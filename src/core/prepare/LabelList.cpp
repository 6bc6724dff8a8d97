#include "core/prepare/LabelList.h"

#include "core/text/Cp932.h"

#include <cstdio>

namespace maroka::prepare {

void LabelList::Clear()
{
    lastNumber_.clear();
    count_ = 0;
}

std::string LabelList::Take(std::string_view displayName)
{
    std::string label = text::ToUpper(displayName);
    int& last = lastNumber_[label];
    if (last < 999)
        ++last;
    char number[16];
    std::snprintf(number, sizeof number, ".%03d", last);
    label += number;
    ++count_;
    return label;
}

} // namespace maroka::prepare
