#include "core/session/RemainingTimePanel.h"

#include <chrono>

namespace maroka::session {

namespace {

std::int64_t NowSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

RemainingTimePanel::RemainingTimePanel(UserInterface& ui, double estimateTotal, std::string versionText)
    : ui_(ui), estimateTotal_(estimateTotal), versionText_(std::move(versionText))
{
}

void RemainingTimePanel::StartPass()
{
    tracker_.StartPass(estimateTotal_, NowSeconds());
}

bool RemainingTimePanel::LineSent(const std::string& line)
{
    const prepare::RemainingTimeUpdate update = tracker_.LineSent(line, NowSeconds());
    for (const prepare::PrepareMessage& message : update.messages)
        ui_.ShowMessage(versionText_, message.text, message.icon, MessageButtons::Ok);
    if (update.shown)
        ui_.ShowRemainingTime(true, tracker_.RemainingText(), tracker_.CorrectedText());
    return update.ok;
}

void RemainingTimePanel::Hide()
{
    ui_.ShowRemainingTime(false, {}, {});
}

} // namespace maroka::session
