#include "core/ui/DisplayBatch.h"

#include <algorithm>

namespace maroka {

using Kind = DisplayUpdate::Kind;

namespace {

DisplayUpdate Update(Kind kind, std::string text = {}, std::string secondText = {})
{
    DisplayUpdate update;
    update.kind = kind;
    update.text = std::move(text);
    update.secondText = std::move(secondText);
    return update;
}

} // namespace

bool DisplayBatch::AddState(DisplayUpdate update)
{
    std::lock_guard lock(mutex_);
    const bool wasEmpty = pending_.empty();
    std::erase_if(pending_, [&](const DisplayUpdate& old) { return old.kind == update.kind; });
    pending_.push_back(std::move(update));
    return wasEmpty;
}

bool DisplayBatch::FileName(std::string text)
{
    return AddState(Update(Kind::FileName, std::move(text)));
}

bool DisplayBatch::Status(std::string text)
{
    return AddState(Update(Kind::Status, std::move(text)));
}

bool DisplayBatch::Progress(long long position, long long maximum)
{
    DisplayUpdate update = Update(Kind::Progress);
    update.position = position;
    update.maximum = maximum;
    return AddState(std::move(update));
}

bool DisplayBatch::RemainingTime(bool visible, std::string remaining, std::string corrected)
{
    DisplayUpdate update = Update(Kind::RemainingTime, std::move(remaining), std::move(corrected));
    update.visible = visible;
    return AddState(std::move(update));
}

bool DisplayBatch::DataLine(std::string line)
{
    std::lock_guard lock(mutex_);
    const bool wasEmpty = pending_.empty();
    // States only show their last value, so lines may join the last group
    // of lines across them; never across a clear.
    const auto last = std::find_if(pending_.rbegin(), pending_.rend(), [](const DisplayUpdate& update) {
        return update.kind == Kind::DataLines || update.kind == Kind::ClearData;
    });
    if (last != pending_.rend() && last->kind == Kind::DataLines) {
        last->lines.push_back(std::move(line));
    } else {
        pending_.push_back(Update(Kind::DataLines));
        pending_.back().lines.push_back(std::move(line));
    }
    if (++lines_ > kMaxLines)
        DropOldestLines();
    return wasEmpty;
}

void DisplayBatch::DropOldestLines()
{
    for (DisplayUpdate& update : pending_) {
        if (update.kind == Kind::DataLines && !update.lines.empty()) {
            update.lines.erase(update.lines.begin());
            --lines_;
            return;
        }
    }
}

bool DisplayBatch::ClearData()
{
    std::lock_guard lock(mutex_);
    const bool wasEmpty = pending_.empty();
    // What the clear wipes was never seen: neither are the lines before it.
    std::erase_if(pending_,
                  [](const DisplayUpdate& old) { return old.kind == Kind::DataLines || old.kind == Kind::ClearData; });
    lines_ = 0;
    pending_.push_back(Update(Kind::ClearData));
    return wasEmpty;
}

std::vector<DisplayUpdate> DisplayBatch::Take()
{
    std::lock_guard lock(mutex_);
    std::vector<DisplayUpdate> taken;
    taken.swap(pending_);
    lines_ = 0;
    std::erase_if(taken,
                  [](const DisplayUpdate& update) { return update.kind == Kind::DataLines && update.lines.empty(); });
    return taken;
}

} // namespace maroka
