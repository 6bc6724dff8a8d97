#pragma once

// The transfer worker: one thread per transfer, started in a mode, that runs
// the mode's body and then hands the main window back to idle, to the end of
// a stopped transfer, or to closing.

#include "core/server/ServerLoop.h"
#include "core/transfer/ReceiveLoop.h"
#include "core/transfer/WorkerEnvironment.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace maroka::transfer {

class TTerm {
public:
    TTerm(WorkerEnvironment env, TransferMode mode, std::string transferFilePath);
    ~TTerm();
    TTerm(const TTerm&) = delete;
    TTerm& operator=(const TTerm&) = delete;

    // Run on the UI thread with the path of each finished reception whose
    // file was closed (the main window's "受信データ(&R)" list). Before Start().
    void SetReceivedFileSink(std::function<void(const std::string& path)> sink);

    // The work files and the mail of server mode. Before Start().
    void SetServer(server::ServerEnvironment server);

    void Start();
    // True until Execute has made its last call to the main window.
    bool Running() const { return running_; }
    void Join();

    TransferMode Mode() const { return mode_; }
    bool FailedStart() const { return failedStart_; }
    // The body ran to its end without an error or a stop.
    bool Completed() const { return completed_; }
    // Server mode ended because the line failed or went away.
    bool ServerLineFailed() const { return serverLineFailed_; }

private:
    void Execute();
    // `skipCycleStartWait`: the machine's M198 call form, sent at once.
    bool SendBody(bool skipCycleStartWait = false);
    bool ServerBody();
    bool ReceiveBody();
    void CleanUp();

    WorkerEnvironment env_;
    TransferMode mode_;
    std::string transferFilePath_;
    std::atomic<bool> running_{false};
    bool failedStart_ = false;
    std::atomic<bool> completed_{false};
    std::atomic<bool> serverLineFailed_{false};
    ReceiveContext receive_;
    server::ServerEnvironment server_;
    std::thread thread_;
};

} // namespace maroka::transfer
