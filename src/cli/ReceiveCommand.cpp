#include "cli/ReceiveCommand.h"

#include "cli/SessionRunner.h"

#include <filesystem>
#include <ostream>

namespace maroka::cli {

namespace {

constexpr const char* kUsage =
    "usage: maroka-cli [global options] receive [--retry|--no-retry] [--show-data] FILE\n"
    "  --retry       after a damaged reception, receive again without asking\n"
    "  --no-retry    after a damaged reception, do not receive again\n"
    "  --show-data   print every received line\n";

} // namespace

int RunReceiveCommand(CliContext& ctx, const std::vector<std::string>& args)
{
    bool retry = false;
    bool noRetry = false;
    bool showData = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            ctx.out << kUsage;
            return kExitOk;
        }
        if (arg == "--retry")
            retry = true;
        else if (arg == "--no-retry")
            noRetry = true;
        else if (arg == "--show-data")
            showData = true;
        else if (arg.starts_with("--")) {
            ctx.err << "receive: unknown option " << arg << "\n" << kUsage;
            return kExitUsage;
        } else
            files.push_back(std::filesystem::absolute(arg).string());
    }
    if (files.size() != 1 || (retry && noRetry)) {
        ctx.err << (files.empty() ? "receive: no file given\n"
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
