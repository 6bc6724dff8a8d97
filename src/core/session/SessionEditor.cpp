#include "core/session/SessionState.h"

namespace maroka::session {

void Session::DiscardSendSelection()
{
    state_->DiscardSendSelection();
}

void Session::TakeSendFileList(std::vector<std::string> entries)
{
    State& s = *state_;
    // A prepared file of the old list is reused while its stamp matches, so
    // it must go with the list or the old program would be sent.
    s.DiscardSendSelection();
    s.sendFileList = std::move(entries);
    s.ui.SetSendDataMenuEnabled(true);
}

std::optional<std::vector<std::string>> Session::SendFileList() const
{
    return state_->sendFileList;
}

bool Session::NoConversionSend() const
{
    return state_->settings.noConversionSend || state_->directSend;
}

void Session::SendSelection()
{
    if (state_->RefuseWhileBusy())
        return;
    state_->SendFiles();
}

bool Session::RefuseWhileBusy()
{
    return state_->RefuseWhileBusy();
}

std::string Session::WorkFilePath(std::string_view name) const
{
    return state_->WorkFile(name);
}

void Session::OpenWithExternal(ExternalKind kind, const std::string& file)
{
    state_->OpenWithExternal(kind, file);
}

} // namespace maroka::session
