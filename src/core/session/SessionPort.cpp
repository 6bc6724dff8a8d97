#include "core/session/SessionMessages.h"
#include "core/session/SessionState.h"
#include "core/session/UsedDeviceServers.h"
#include "core/transfer/LineSetup.h"
#include "core/transfer/TransferMessages.h"

#include <algorithm>

namespace maroka::session {

namespace tmsg = transfer::msg;

void Session::PortDropDown()
{
    State& s = *state_;
    const std::string current = s.boxes.port;
    std::vector<std::string> items{current};
    if (const auto ports = s.EnumeratePorts(true)) {
        for (const std::string& port : *ports) {
            if (port != current)
                items.push_back(port);
        }
    }
    s.ui.SetPortItems(items);
}

void Session::PortChanged(const std::string& port)
{
    State& s = *state_;
    if (s.RefuseWhileBusy())
        return;
    s.SavePortColours();
    s.boxes.port = port;
    s.OpenPort();
    if (s.flags.quitRequested) {
        s.ui.CloseMainWindow();
        return;
    }
    if (s.PortOpen()) {
        s.boxes.port = s.openPortName;
        s.ui.ShowLineBoxes(s.boxes);
    }
}

void Session::SetLineBox(LineBox box, const std::string& text)
{
    State& s = *state_;
    switch (box) {
    case LineBox::Port:
        s.boxes.port = text;
        break;
    case LineBox::StopBits:
        s.boxes.stopBits = text;
        break;
    case LineBox::BaudRate:
        s.boxes.baudRate = text;
        break;
    case LineBox::BufferSize:
        s.boxes.bufferSize = text;
        break;
    case LineBox::Code:
        s.boxes.code = text;
        break;
    case LineBox::Dc3:
        s.boxes.dc3 = text;
        break;
    case LineBox::SendMode:
        s.boxes.sendMode = text;
        break;
    }
}

void Session::State::OpenPort()
{
    bool errorShown = false;
    for (;;) {
        if (PortOpen()) {
            if (boxes.port == openPortName)
                return;
            if (!ClosePort())
                return;
        }
        std::string error;
        if (auto opened = options.openLine(boxes.port, error)) {
            line = std::move(opened);
            openPortName = boxes.port;
            SetApplicationTitle(openPortName);
            LoadPortColours();
            // The failure of the port tried before is history now.
            if (errorShown)
                ui.ShowStatus({});
            WatchPort();
            return;
        }
        if (!error.empty()) {
            ui.ShowStatus(boxes.port + ": " + error);
            errorShown = true;
        }
        const auto ports = EnumeratePorts(false);
        if (flags.quitRequested)
            return;
        const auto chosen = ui.ChooseOtherPort(boxes.port, ports.value_or(std::vector<std::string>{}));
        if (!chosen) {
            flags.quitRequested = true;
            return;
        }
        boxes.port = *chosen;
        ui.ShowLineBoxes(boxes);
    }
}

bool Session::State::ClosePort()
{
    watch.Stop();
    if (!line)
        return true;
    // A device that went away cannot be closed cleanly; it is let go.
    if (!line->Close() && !portGone) {
        ui.ShowMessage(applicationTitle, tmsg::kPortCloseError, MessageIcon::Error, MessageButtons::Ok);
        return false;
    }
    line.reset();
    openPortName.clear();
    portGone = false;
    serverResumePending = false;
    return true;
}

void Session::State::WatchPort()
{
    if (!line)
        return;
    PortWatch::Reports reports;
    reports.gone = [this] {
        portGone = true;
        ui.ShowStatus(openPortName + (serverResumePending ? msg::kPortGoneServerSuffix : msg::kPortGoneSuffix));
    };
    reports.back = [this](std::shared_ptr<serial::SerialLine> reopened, const std::string& name) {
        PortCameBack(std::move(reopened), name);
    };
    watch.Start(
        line, openPortName,
        [opener = options.openLine](const std::string& path) -> std::shared_ptr<serial::SerialLine> {
            std::string ignored;
            return opener(path, ignored);
        },
        std::move(reports));
}

void Session::State::PortCameBack(std::shared_ptr<serial::SerialLine> reopened, const std::string& name)
{
    if (!portGone || WorkerBusy())
        return;
    line->Close();
    line = std::move(reopened);
    portGone = false;
    if (boxes.port == openPortName)
        boxes.port = name;
    openPortName = name;
    ui.ShowLineBoxes(boxes);
    ui.ShowStatus(openPortName + msg::kPortBackSuffix);
    WatchPort();
    if (serverResumePending) {
        serverResumePending = false;
        currentMode = transfer::TransferMode::Server;
        StartServerWorker();
    }
}

std::vector<std::string> Session::State::ProbePorts()
{
    std::vector<std::string> ports = options.listPorts ? options.listPorts() : std::vector<std::string>{};
    // Device servers used before are offered too; they are not connected to
    // here, as that would take the port from whoever has it now.
    for (std::string& server : UsedDeviceServers(settingsFilePath)) {
        if (std::find(ports.begin(), ports.end(), server) == ports.end())
            ports.push_back(std::move(server));
    }
    return ports;
}

std::optional<std::vector<std::string>> Session::State::EnumeratePorts(bool dropDownProbe)
{
    std::vector<std::string> ports = ProbePorts();
    if (!ports.empty())
        return ports;
    if (dropDownProbe) {
        ui.ShowMessage(applicationTitle, openPortName + tmsg::kNoOtherPortSuffix, MessageIcon::Warning,
                       MessageButtons::Ok);
    } else {
        ui.ShowMessage(applicationTitle, tmsg::kNoPortAtAll, MessageIcon::Error, MessageButtons::Ok);
        flags.quitRequested = true;
    }
    return std::nullopt;
}

bool Session::State::ApplyLineSettings()
{
    if (const auto problem = transfer::CheckLineBoxes(boxes)) {
        ShowError(*problem);
        return false;
    }
    if (!line)
        return true;
    const auto showPortError = [this](const char* text) {
        ui.ShowMessage(applicationTitle, text, MessageIcon::Error, MessageButtons::Ok);
    };
    serial::QueueSizes queues;
    if (!line->GetProperties(queues)) {
        showPortError(tmsg::kPortInfoError);
        return true;
    }
    serial::LineSettings state;
    if (!line->GetState(state)) {
        showPortError(tmsg::kDcbReadError);
        return true;
    }
    transfer::FillLineSettings(state, boxes, queues);
    settings.stopBits = boxes.stopBits;
    settings.baudRate = boxes.baudRate;
    settings.code = boxes.code;
    settings.dc3Code = boxes.dc3;
    // What the buffer box shows is what the send uses.
    settings.sendBufferSize = boxes.bufferSize;
    ui.ShowLineBoxes(boxes);
    if (!line->SetState(state)) {
        showPortError(tmsg::kPortSetupError);
        return true;
    }
    if (const std::string notice = line->TakeNotice(); !notice.empty())
        ui.ShowStatus(notice);
    ui.SetPortSelectorEnabled(false);
    return true;
}

void Session::State::ResetLine()
{
    if (!line)
        return;
    serial::LineErrorState ignored;
    line->ClearErrors(ignored);
    line->ClearBreak();
    line->Purge(serial::kPurgeTxAbort | serial::kPurgeRxAbort | serial::kPurgeTxClear | serial::kPurgeRxClear);
}

} // namespace maroka::session
