#include "cli/SendCommand.h"

#include "cli/CommandArguments.h"
#include "cli/SessionRunner.h"
#include "core/prepare/FileLookup.h"

#include <ostream>

namespace maroka::cli {

namespace {

constexpr const char* kUsage = "usage: maroka-cli [global options] send [--direct] [--show-data] FILE...\n"
                               "  --direct      send the file unchanged (one file)\n"
                               "  --show-data   print every sent line\n";

} // namespace

int RunSendCommand(CliContext& ctx, const std::vector<std::string>& args)
{
    const CommandArguments parsed = ParseCommandArguments(ctx, args, "send", {"--direct", "--show-data"}, kUsage);
    if (parsed.exitCode)
        return *parsed.exitCode;
    const bool direct = parsed.Has("--direct");
    const bool showData = parsed.Has("--show-data");
    const std::vector<std::string>& files = parsed.files;
    if (files.empty()) {
        ctx.err << "send: no file given\n" << kUsage;
        return kExitUsage;
    }

    for (const std::string& file : files) {
        if (!prepare::ResolveFile(file)) {
            ctx.err << "send: " << file << ": no such file\n";
            return kExitFailure;
        }
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
