#include "gui/MainSession.h"

#include <QTimer>

namespace maroka::gui {

MainSession::MainSession(session::SessionOptions options)
    : ui_(form_), session_(ui_, std::move(options)), settingsForm_(session_, &form_)
{
    form_.setWindowTitle(QString::fromStdString(session_.VersionText()));
    form_.Attach(this);
    session_.Construct();
    editor_ = std::make_unique<TEditorForm>(&form_, session_, ui_);
    QObject::connect(&form_, &TMainForm::SendDataMenuEnabledChanged, editor_.get(), [this](bool enabled) {
        if (!enabled) {
            editor_->Editor().SendSelectionDiscarded();
        }
    });
}

MainSession::~MainSession()
{
    // The window may never have been closed (a test, an early return):
    // the session still stops its worker and writes its settings.
    if (!form_.Closed()) {
        form_.CloseWithoutAsking();
    }
    if (!closed_) {
        Close();
    }
    form_.Attach(nullptr);
}

bool MainSession::Show()
{
    if (form_.Closed() || session_.QuitRequested()) {
        return false;
    }
    form_.show();
    QTimer::singleShot(0, &form_, [this] {
        if (!form_.Closed()) {
            session_.FirstShown();
        }
    });
    return true;
}

void MainSession::ChooseSendFiles()
{
    session_.ChooseSendFiles();
}

void MainSession::Send()
{
    session_.Send();
}

void MainSession::DirectSend()
{
    session_.DirectSend();
}

void MainSession::Receive()
{
    session_.Receive();
}

void MainSession::Reset()
{
    session_.Reset();
}

void MainSession::StartServer()
{
    session_.StartServer();
}

void MainSession::CheckData()
{
    session_.CheckData();
}

void MainSession::OpenSettings()
{
    settingsForm_.ShowDialog();
}

void MainSession::ViewSettingsFile()
{
    session_.ViewSettingsFile();
}

void MainSession::ShowHelp()
{
    session_.ShowHelp();
}

bool MainSession::ConfirmExit()
{
    return session_.ConfirmExit();
}

void MainSession::ShowAbout()
{
    session_.ShowAbout();
}

void MainSession::OpenProgramListEditor()
{
    editor_->ShowBeside(form_);
}

void MainSession::OpenSendData(session::ExternalKind kind)
{
    session_.OpenSendData(kind);
}

void MainSession::OpenReceivedFile(std::size_t index)
{
    session_.OpenReceivedFile(index);
}

void MainSession::OpenCommLog()
{
    session_.OpenCommLog();
}

void MainSession::ClearCommLog()
{
    session_.ClearCommLog();
}

void MainSession::OpenErrorLog()
{
    session_.OpenErrorLog();
}

void MainSession::SaveSendFile()
{
    session_.SaveSendFile();
}

void MainSession::ClearFiles()
{
    session_.ClearFiles();
}

void MainSession::SendDc2()
{
    session_.SendDc2();
}

void MainSession::FilesDropped(const std::vector<std::string>& paths)
{
    session_.FilesDropped(paths);
}

void MainSession::PortDropDown()
{
    session_.PortDropDown();
}

void MainSession::PortChanged(const std::string& port)
{
    session_.PortChanged(port);
}

void MainSession::SetLineBox(session::LineBox box, const std::string& text)
{
    session_.SetLineBox(box, text);
}

void MainSession::Close()
{
    // Values still open in the settings window are applied before they are saved.
    if (settingsForm_.isVisible()) {
        settingsForm_.close();
    }
    closed_ = true;
    if (editor_) {
        editor_->hide();
    }
    session_.Close();
}

} // namespace maroka::gui
