#include "core/session/Session.h"

#include "core/session/DefaultPorts.h"

#include "core/session/SessionMessages.h"
#include "core/session/SessionState.h"

namespace maroka::session {

Session::State::State(UserInterface& userInterface, SessionOptions sessionOptions)
    : ui(userInterface), options(std::move(sessionOptions))
{
    if (!options.openLine)
        options.openLine = OpenDeviceLine;
    if (!options.listPorts)
        options.listPorts = ListUsablePorts;
}

void Session::State::ShowError(const std::string& text)
{
    ui.ShowMessage(versionText, text, MessageIcon::Error, MessageButtons::Ok);
}

void Session::State::ShowWarning(const std::string& text)
{
    ui.ShowMessage(versionText, text, MessageIcon::Warning, MessageButtons::Ok);
}

void Session::State::ShowPlain(const std::string& text)
{
    ui.ShowMessage(applicationTitle, text, MessageIcon::None, MessageButtons::Ok);
}

bool Session::State::AskYesNo(const std::string& text)
{
    return ui.ShowMessage(versionText, text, MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes;
}

Session::Session(UserInterface& ui, SessionOptions options) : state_(std::make_unique<State>(ui, std::move(options))) {}

Session::~Session()
{
    Close();
}

void Session::Send()
{
    State& s = *state_;
    if (s.RefuseWhileBusy())
        return;
    if (s.settings.noConversionSend || s.directSend)
        s.DiscardSendSelection();
    s.directSend = false;
    s.SendFiles();
}

void Session::DirectSend()
{
    State& s = *state_;
    if (s.RefuseWhileBusy())
        return;
    if (!s.directSend)
        s.DiscardSendSelection();
    s.directSend = true;
    s.SendFiles();
}

void Session::Reset()
{
    state_->EndTransfer();
    state_->StopTransfer();
    // The stop interrupts the line, and with it the watch of an idle port.
    if (!state_->WorkerBusy())
        state_->WatchPort();
}

void Session::ViewSettingsFile()
{
    state_->OpenWithExternal(ExternalKind::Editor, state_->settingsFilePath);
}

void Session::ShowHelp()
{
    state_->ShowPlain(msg::kHelp);
}

bool Session::ConfirmExit()
{
    return state_->AskYesNo(msg::kConfirmExit);
}

void Session::ShowAbout()
{
    state_->ShowPlain(std::string(msg::kAboutPrefix) + state_->versionText);
}

void Session::SendDc2()
{
    State& s = *state_;
    if (!s.line)
        return;
    const bool watched = !s.WorkerBusy();
    if (watched)
        s.watch.Stop();
    s.line->TransmitChar(0x12);
    if (watched)
        s.WatchPort();
}

const LineBoxTexts& Session::LineBoxes() const
{
    return state_->boxes;
}

bool Session::Idle() const
{
    return state_->idle;
}

bool Session::TransferRunning() const
{
    return state_->WorkerBusy();
}

bool Session::LastTransferCompleted() const
{
    return state_->worker && !state_->worker->Running() && state_->worker->Completed();
}

bool Session::QuitRequested() const
{
    return state_->flags.quitRequested;
}

const std::string& Session::VersionText() const
{
    return state_->versionText;
}

const settings::SessionSettings& Session::Settings() const
{
    return state_->settings;
}

settings::SessionSettings& Session::MutableSettings()
{
    return state_->settings;
}

} // namespace maroka::session
