#include "cli/SendCommand.h"

#include "cli/SessionRunner.h"

#include <filesystem>
#include <ostream>

namespace maroka::cli {

namespace {

constexpr const char* kUsage =
    "usage: maroka-cli [global options] send [--direct] [--show-data] FILE...\n"
    "  --direct      send the file unchanged (one file)\n"
    "  --show-data   print every sent line\n";

} // namespace

int RunSendCommand(CliContext& ctx, const std::vector<std::string>& args)
{
    bool direct = false;
    bool showData = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            ctx.out << kUsage;
            return kExitOk;
        }
        if (arg == "--direct")
            direct = true;
        else if (arg == "--show-data")
            showData = true;
        else if (arg.starts_with("--")) {
            ctx.err << "send: unknown option " << arg << "\n" << kUsage;
            return kExitUsage;
        } else
            files.push_back(std::filesystem::absolute(arg).string());
    }
    if (files.empty()) {
        ctx.err << "send: no file given\n" << kUsage;
        return kExitUsage;
    }

    SessionRunner runner(ctx, TerminalAnswers{files, {}, false});
    runner.Ui().SetShowData(showData);
    if (!runner.Start())
        return kExitFailure;
    if (direct)
        runner.Get().DirectSend();
    else
        runner.Get().Send();
    runner.WaitForTransfer();
    return runner.Get().LastTransferCompleted() ? kExitOk : kExitFailure;
}

} // namespace maroka::cli
