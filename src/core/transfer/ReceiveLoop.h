#pragma once

// Takes what the machine punches and writes it into a file, line by line,
// under the receive settings: the start code, the head and tail "%" lines,
// the chosen end of block, removal of control codes and garbled characters,
// ":" to "O", "%" lines, and the end of data by time-out. The same loop
// collects the server's command text raw (command wait) and drives the
// two-pass repair of a damaged reception.
//
//   RunReceive        one receive command of a worker: open, loop, close
//   ReceiveLoop       the loop itself; reports through the context's outcome
//   OpenReceiveFile   creates (truncates) the context's file; true when open
//   CloseReceiveFile  adds the tail line, closes, lists the received file
//
// All of them run on the transfer worker. Display changes go through
// env.ui, main-window steps through env.ui.RunOnUiThread.

#include "core/transfer/ReceiveFile.h"
#include "core/transfer/TransferMode.h"
#include "core/transfer/WorkerEnvironment.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>

namespace maroka::transfer {

struct RepairState;

// One worker's receptions: what to receive into, in which setting, and what
// came of the last one. The worker keeps it for its whole life so that its
// clean-up can close a file a body left open.
struct ReceiveContext {
    // Set by the caller before RunReceive.
    TransferMode mode = TransferMode::Receive; // Receive or Server
    ServerStep serverStep = ServerStep::None;  // server mode: Command or Save
    std::string transferFilePath;              // the receive file (command wait: the command file)
    // Run on the UI thread after a finished reception's file was closed
    // (never for the command file): the main window lists it under
    // "受信データ(&R)". May be empty.
    std::function<void(const std::string& path)> receivedFileClosed;

    // Outcome of the last reception.
    bool receivedOk = false; // ended by the end of data, without error
    bool transferError = false;
    bool writeFailed = false;
    bool repairPending = false;      // a line error was recorded for repair
    bool receptionContinued = false; // "継続受信" went round at least once
    bool lineFailed = false;         // the device failed or vanished
    bool repaired = false;           // two damaged receptions were merged into the file
    bool stoppedBeforeData = false;  // a stop ended the wait for the first byte
    std::uint64_t bytesReceived = 0;
    std::string bytesReceivedText; // bytesReceived with thousands commas

    // Owned by the loop.
    ReceiveFile file;
    std::shared_ptr<RepairState> repair; // only while "受信エラー修復" applies
};

// The numeric receive settings: the end-of-data time-out in seconds (may
// carry a fraction) and the whole seconds of the exit countdown.
struct ReceiveTimings {
    double endSeconds = 2.0;
    long long exitSeconds = 0;
};

// The timings, or the message naming the first setting that is not a number
// (the exit countdown only when "受信後終了" is on).
std::variant<ReceiveTimings, std::string> ReadReceiveTimings(const settings::SessionSettings& settings);

// The bytes written after each received line for a "受信改行文字" value.
std::string ReceiveEndOfBlock(const std::string& setting);

// False when the receive file cannot be opened or closed, or (mode
// server mode) when the line itself is gone; the caller then treats the
// transfer as failed (a server stops its loop). Everything else (errors,
// stops, the repair) is in the context's outcome and the flags.
bool RunReceive(WorkerEnvironment& env, ReceiveContext& context);

void ReceiveLoop(WorkerEnvironment& env, ReceiveContext& context);
bool OpenReceiveFile(WorkerEnvironment& env, ReceiveContext& context);
bool CloseReceiveFile(WorkerEnvironment& env, ReceiveContext& context);

} // namespace maroka::transfer
