#include "cli/SessionRunner.h"

#include "cli/SettingsCommand.h"
#include "core/session/DefaultPorts.h"

#include <atomic>
#include <csignal>

namespace maroka::cli {

namespace {

std::atomic<bool> g_resetSignalled{false};

extern "C" void OnResetSignal(int)
{
    g_resetSignalled = true;
}

void InstallResetSignals()
{
    struct sigaction action {};
    action.sa_handler = OnResetSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

SessionRunner::SessionRunner(CliContext& ctx, TerminalAnswers answers)
    : ctx_(ctx), ui_(ctx.err, ctx.in, ctx.interactive, std::move(answers))
{
    session::SessionOptions options;
    options.programPath = ctx.programPath;
    options.settingsFile = ResolveSettingsPath(ctx);
    options.openLine = session::OpenDeviceLine;
    options.listPorts = session::ListUsablePorts;
    // A command-line run changes the settings file only where a command
    // says so (settings set, server --folder).
    options.saveSettingsOnClose = false;
    options.cancelRequested = [] { return g_resetSignalled.load(); };
    session_ = std::make_unique<session::Session>(ui_, std::move(options));
}

SessionRunner::~SessionRunner()
{
    session_->Close();
}

bool SessionRunner::Start()
{
    InstallResetSignals();
    session_->Construct();
    if (ctx_.options.port)
        session_->SetLineBox(session::LineBox::Port, *ctx_.options.port);
    session_->FirstShown();
    return !session_->QuitRequested();
}

void SessionRunner::WaitForTransfer()
{
    bool resetDone = false;
    // A worker that asked for the close still makes its last calls: it is
    // served to its end, so that its outcome is known.
    while (session_->TransferRunning()) {
        ui_.RunPendingTasks(50);
        if (ui_.CloseRequested())
            continue;
        if (g_resetSignalled && !resetDone) {
            resetDone = true;
            ctx_.err << "\nreset" << std::endl;
            session_->Reset();
        }
    }
    ui_.RunPendingTasks(0);
}

} // namespace maroka::cli
