#pragma once

// Everything a transfer worker reaches outside itself: the line, the front
// end, the logs, the shared flags, and the main window's own steps, which the
// worker runs on the UI thread.

#include "core/serial/SerialLine.h"
#include "core/settings/SessionSettings.h"
#include "core/transfer/TransferClock.h"
#include "core/transfer/TransferFlags.h"
#include "core/ui/UserInterface.h"

#include <memory>
#include <string>
#include <string_view>

namespace maroka::transfer {

class TransferLog {
public:
    virtual ~TransferLog() = default;
    virtual void CommLog(std::string_view message) = 0;
    virtual void ErrorLog(std::string_view message) = 0;
    // Returns when every entry made so far is in its file.
    virtual void Flush() {}
};

// Steps of the main window that the worker asks for; the worker calls them
// through UserInterface::RunOnUiThread.
class MainWindowSteps {
public:
    virtual ~MainWindowSteps() = default;
    virtual void EndTransfer() = 0;
    virtual void SetIdleControls() = 0;
    virtual void CloseMainWindow() = 0;
    // A completed send with "clear the file when done": forget the selection.
    virtual void ClearCompletedSend() = 0;
    virtual void SetLastCycleTime(const std::string& text) = 0;
    // The worker's last call: it no longer touches the line.
    virtual void LineReleased() {}
};

// The remaining machining time shown during a DNC send. Optional.
class RemainingTimeDisplay {
public:
    virtual ~RemainingTimeDisplay() = default;
    virtual void StartPass() = 0;
    // One sent line, CP932 bytes as they went out. False when the send must
    // stop as failed.
    virtual bool LineSent(const std::string& line) = 0;
    virtual void Hide() = 0;
};

struct WorkerEnvironment {
    WorkerEnvironment(std::shared_ptr<serial::SerialLine> line, UserInterface& ui, std::shared_ptr<TransferLog> log,
                      TransferFlags& flags, MainWindowSteps& mainWindow)
        : line(std::move(line)), ui(ui), log(std::move(log)), flags(flags), mainWindow(mainWindow)
    {
    }

    std::shared_ptr<serial::SerialLine> line;
    UserInterface& ui;
    std::shared_ptr<TransferLog> log;
    TransferFlags& flags;
    MainWindowSteps& mainWindow;
    std::shared_ptr<RemainingTimeDisplay> remainingTime;
    TransferClock* clock = &TransferClock::Steady();
    settings::SessionSettings settings; // a copy taken when the transfer starts
    std::string versionText;            // caption of boxes with an icon
    std::string applicationTitle;       // caption of plain boxes
    std::string displayName;
    bool directSend = false;
    bool dncMode = false;

    void ShowError(const std::string& text) const
    {
        ui.ShowMessage(versionText, text, MessageIcon::Error, MessageButtons::Ok);
    }
    void ShowPlain(const std::string& text) const
    {
        ui.ShowMessage(applicationTitle, text, MessageIcon::None, MessageButtons::Ok);
    }
};

} // namespace maroka::transfer
