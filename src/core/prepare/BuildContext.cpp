#include "core/prepare/BuildContext.h"

#include "core/prepare/BlockOperations.h"
#include "core/prepare/PrepareMessages.h"
#include "core/text/Encoding.h"

#include <algorithm>

namespace maroka::prepare {

void BuildContext::FailUnclosedComment()
{
    messages.push_back({msg::kUnclosedComment, MessageIcon::Error, MessageCaption::ProgramFileName});
}

void BuildContext::FailWithBlock(std::string_view block, const char* suffix)
{
    Fail(text::Cp932ToUtf8Lossy(block) + suffix);
}

bool BuildContext::WriteBlock(std::string& block)
{
    UpperCaseInPlace(block);
    return WriteUpperCased(block);
}

void BuildContext::FailOutput()
{
    messages.push_back(PlainMessage(msg::kFileOutputError));
}

bool BuildContext::WriteLabelPercent()
{
    if (output.Write("%") && output.Write(settings.endOfBlock))
        return true;
    messages.push_back(PlainMessage(msg::kFileOutputError));
    return false;
}

ProgressThrottle::ProgressThrottle(BuildObserver& observer, std::uint64_t maximum)
    : observer_(observer), maximum_(maximum), step_(std::max<std::uint64_t>(maximum / 200, 64 * 1024)), next_(0)
{
    observer_.SetProgress(0, static_cast<long long>(maximum_));
    next_ = step_;
}

void ProgressThrottle::Report(std::uint64_t position)
{
    observer_.SetProgress(static_cast<long long>(position), static_cast<long long>(maximum_));
    next_ = position + step_;
}

} // namespace maroka::prepare
