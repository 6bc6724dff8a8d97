#pragma once

// The inside of Session, shared by the files that implement its parts
// (start-up, port, transfer, files). Not for use outside core/session.

#include "core/logs/LogWriter.h"
#include "core/mail/SendNotificationMail.h"
#include "core/prepare/SendFileBuilder.h"
#include "core/session/Session.h"
#include "core/transfer/TTerm.h"
#include "core/transfer/TransferFlags.h"
#include "core/transfer/WorkerEnvironment.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace maroka::session {

inline constexpr const char* kVersionText = " Maroka ver 0.565";

struct Session::State final : transfer::MainWindowSteps {
    State(UserInterface& ui, SessionOptions options);

    UserInterface& ui;
    SessionOptions options;
    settings::SessionSettings settings;
    std::string settingsFilePath;
    bool receiveAtStart = false;
    std::string startupFile;
    std::string workFolder;
    std::string versionText = kVersionText;
    std::string applicationTitle = "Maroka";
    std::string programName = "maroka";
    std::string osClass;
    LineBoxTexts boxes;

    // Port.
    std::shared_ptr<serial::SerialLine> line;
    std::string openPortName;
    std::string portWindowColourPort; // the port whose colours are loaded

    // Transfer.
    transfer::TransferFlags flags;
    std::unique_ptr<transfer::TTerm> worker;
    bool idle = true;
    bool endHandled = false;
    std::string currentMode;

    // Files.
    std::optional<std::vector<std::string>> sendFileList;
    bool directSend = false;
    std::string sendFilePath;
    std::string receiveFileName;
    std::string displayName;
    std::string commLogSubject;
    std::vector<std::string> receivedFileList;
    std::string lastCycleTime;
    bool dncMode = false;
    prepare::SendFileBuilder builder;
    double estimateTotal = 0;
    bool shutdownDone = false;
    bool closingForWorker = false; // the worker asked for the close and waits for it

    ~State() override;

    // Messages.
    void ShowError(const std::string& text);
    void ShowWarning(const std::string& text);
    void ShowPlain(const std::string& text);
    bool AskYesNo(const std::string& text);

    // Start-up and settings (SessionStartup.cpp).
    void LoadSettings();
    bool SaveSettings();
    void LoadPortColours();
    void SavePortColours();
    void SetApplicationTitle(const std::string& port);
    std::string WorkFile(std::string_view name) const;

    // Port (SessionPort.cpp).
    bool PortOpen() const { return line != nullptr; }
    void OpenPort();
    bool ClosePort();
    std::vector<std::string> ProbePorts();
    std::optional<std::vector<std::string>> EnumeratePorts(bool dropDownProbe);
    // False when a line box cannot be used at all; a device that refuses the
    // settings is reported and the transfer goes ahead, as it always has.
    bool ApplyLineSettings();
    void ResetLine();

    // Transfer (SessionTransfer.cpp).
    // Shows the message of the first send or receive number that is not a
    // number and returns true; false when all can be used.
    bool RefuseBadNumbers(bool send, bool receive);
    // Applies the line settings and starts a worker in `mode`; `configure`
    // runs on the worker before it starts.
    bool LaunchWorker(const std::string& mode, const std::string& path,
                      const std::function<void(transfer::TTerm&)>& configure = {});
    bool StartSend();
    // Before a DNC send: says where the line will be too slow to keep the
    // machine fed (SessionFeedForecast.cpp).
    void WarnOfFeedStops();
    // Starts a worker in currentMode ("RECV", or "SERVER" with the command
    // file) that receives into `path` (SessionReceive.cpp).
    bool StartReceive(const std::string& path);
    void StopTransfer();
    void ShutdownPort();
    void SetBusyControls();
    void ClearDisplay();
    bool WorkerBusy() const;
    bool RefuseWhileBusy();
    transfer::WorkerEnvironment MakeEnvironment();

    // Files (SessionFiles.cpp).
    bool ChooseSendFiles();
    void SendFiles();
    void DiscardSendSelection();
    void DeletePreparedSendFile();
    void SetCurrentFile(const std::string& path);
    void AddFilterExtension(std::string& filter, const std::string& path);
    bool ChooseSaveFile(const std::string& title, const std::string& filter, const std::string& folder,
                        std::string& path);
    bool PrepareSendData();
    void ShowPrepareMessage(const prepare::PrepareMessage& message);
    void OpenWithExternal(ExternalKind kind, const std::string& file);

    // Receive (SessionReceive.cpp).
    void ReceiveFile();
    bool ChooseReceiveFile(const std::string& title);
    void AddReceivedFile(const std::string& path);

    // Server and mail (SessionServer.cpp).
    std::string mailCommandText; // the text of the last mail command
    bool ChooseServerFolder();
    // The folder chooser until a usable folder is chosen; nullopt when it is
    // cancelled (with a warning when no folder is set at all).
    std::optional<std::string> AskServerFolder();
    bool StartServerWorker();
    mail::MailOutcome SendMail(const std::string& commandText, bool testFlag);

    // transfer::MainWindowSteps
    void EndTransfer() override;
    void SetIdleControls() override;
    void CloseMainWindow() override;
    void ClearCompletedSend() override;
    void SetLastCycleTime(const std::string& text) override;
};

} // namespace maroka::session
