#include "core/transfer/TTerm.h"

#include "core/server/ServerLoop.h"
#include "core/transfer/ChunkReader.h"
#include "core/transfer/SendLoop.h"
#include "core/transfer/TransferMessages.h"

#include <filesystem>

namespace maroka::transfer {

TTerm::TTerm(WorkerEnvironment env, TransferMode mode, std::string transferFilePath)
    : env_(std::move(env)), mode_(mode), transferFilePath_(std::move(transferFilePath))
{
}

TTerm::~TTerm()
{
    Join();
}

void TTerm::SetReceivedFileSink(std::function<void(const std::string& path)> sink)
{
    receive_.receivedFileClosed = std::move(sink);
}

void TTerm::SetServer(server::ServerEnvironment server)
{
    server_ = std::move(server);
}

void TTerm::Start()
{
    running_ = true;
    thread_ = std::thread([this] { Execute(); });
}

void TTerm::Join()
{
    if (thread_.joinable())
        thread_.join();
}

void TTerm::Execute()
{
    if (mode_ == TransferMode::Reset) {
        env_.ui.RunOnUiThread([this] { env_.mainWindow.LineReleased(); });
        running_ = false;
        return;
    }
    bool started = false;
    if (mode_ == TransferMode::Send)
        started = SendBody();
    else if (mode_ == TransferMode::Receive)
        started = ReceiveBody();
    else if (mode_ == TransferMode::Server)
        started = ServerBody();
    failedStart_ = !started;
    CleanUp();
    // The window is handed back with the log complete: an operator who opens
    // it at once finds the end of the transfer in it.
    env_.log->Flush();

    if (!failedStart_) {
        if (env_.flags.quitRequested)
            env_.ui.RunOnUiThread([this] { env_.mainWindow.CloseMainWindow(); });
        else if (!env_.flags.stopRequested)
            env_.ui.RunOnUiThread([this] { env_.mainWindow.SetIdleControls(); });
        else
            env_.ui.RunOnUiThread([this] { env_.mainWindow.EndTransfer(); });
    }
    env_.ui.RunOnUiThread([this] { env_.mainWindow.LineReleased(); });
    running_ = false;
}

bool TTerm::ReceiveBody()
{
    receive_.mode = mode_;
    receive_.serverStep = ServerStep::None;
    receive_.transferFilePath = transferFilePath_;
    const bool started = RunReceive(env_, receive_);
    // Continuous reception has no end of its own: a Reset while it waits for
    // the next program ends it normally once a program has come whole.
    const bool endedBetweenPrograms = receive_.receptionContinued && receive_.stoppedBeforeData;
    completed_ =
        started && (receive_.receivedOk || receive_.repaired) && (!env_.flags.stopRequested || endedBetweenPrograms);
    return started;
}

void TTerm::CleanUp()
{
    // A body that left its receive file open gets it closed here, with its
    // end marks.
    if (receive_.file.IsOpen())
        CloseReceiveFile(env_, receive_);
    receive_.repair.reset();
}

bool TTerm::ServerBody()
{
    // The server never fails its start: a command reception that cannot use
    // its file ends the loop like a stop.
    if (server_.commandFilePath.empty())
        server_.commandFilePath = transferFilePath_;
    server::ServerLoop loop(env_, receive_, server_, [this](const std::string& path, bool skipCycleStartWait) {
        transferFilePath_ = path;
        return SendBody(skipCycleStartWait);
    });
    loop.Run();
    if (receive_.lineFailed && !env_.flags.StopOrClosing()) {
        // Nothing is served any more: the window must not go on saying it is.
        serverLineFailed_ = true;
        env_.ui.ShowFileName({});
        env_.ui.ShowStatus(msg::kServerStoppedByLineError);
        env_.ui.AppendDataLine(msg::kServerStoppedByLineError);
        const std::string detail = env_.line->LastError();
        if (!detail.empty())
            env_.ui.AppendDataLine(detail);
    }
    return true;
}

bool TTerm::SendBody(bool skipCycleStartWait)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(transferFilePath_, ec)) {
        env_.ShowError(msg::kNoSendFile);
        return false;
    }
    env_.ui.ShowProgressBar(true);
    ChunkReader file;
    if (!file.Open(transferFilePath_)) {
        env_.ShowError(std::filesystem::path(transferFilePath_).filename().string() + msg::kCannotOpenSuffix);
        return false;
    }
    SendLoop loop(env_, file, mode_, skipCycleStartWait);
    const SendOutcome outcome = loop.Run();
    if (!file.Close()) {
        env_.ShowError(msg::kCannotCloseSendFile);
        return false;
    }
    // The exit countdown ends the transfer through the stop path; the send
    // itself ran to its end all the same.
    completed_ = outcome.sendCompleted;
    if (mode_ == TransferMode::Server)
        return true;
    if (env_.settings.completedSendClearsFile && outcome.sendCompleted)
        env_.ui.RunOnUiThread([this] { env_.mainWindow.ClearCompletedSend(); });
    return true;
}

} // namespace maroka::transfer
