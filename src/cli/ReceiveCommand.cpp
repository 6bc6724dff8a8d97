#include "cli/ReceiveCommand.h"

#include "cli/CommandArguments.h"
#include "cli/SessionRunner.h"

#include <ostream>

namespace maroka::cli {

namespace {

constexpr const char* kUsage = "usage: maroka-cli [global options] receive [--retry|--no-retry] [--show-data] FILE\n"
                               "  --retry       after a damaged reception, receive again without asking\n"
                               "  --no-retry    after a damaged reception, do not receive again\n"
                               "  --show-data   print every received line\n";

} // namespace

int RunReceiveCommand(CliContext& ctx, const std::vector<std::string>& args)
{
    const CommandArguments parsed =
        ParseCommandArguments(ctx, args, "receive", {"--retry", "--no-retry", "--show-data"}, kUsage);
    if (parsed.exitCode)
        return *parsed.exitCode;
    const bool retry = parsed.Has("--retry");
    const bool noRetry = parsed.Has("--no-retry");
    const bool showData = parsed.Has("--show-data");
    const std::vector<std::string>& files = parsed.files;
    if (files.size() != 1 || (retry && noRetry)) {
        ctx.err << (files.empty()      ? "receive: no file given\n"
                    : files.size() > 1 ? "receive: one file only\n"
                                       : "receive: --retry and --no-retry exclude each other\n")
                << kUsage;
        return kExitUsage;
    }

    // --no-retry answers the question as a script would: Cancel.
    CliContext receiveCtx = ctx;
    if (noRetry)
        receiveCtx.interactive = false;
    SessionRunner runner(receiveCtx, TerminalAnswers{{}, files.front(), retry});
    runner.Ui().SetShowData(showData);
    if (!runner.Start())
        return kExitFailure;
    runner.Get().Receive();
    runner.WaitForTransfer();
    return runner.Get().LastTransferCompleted() ? kExitOk : kExitFailure;
}

} // namespace maroka::cli
