#include "cli/ServerCommand.h"

#include "cli/SessionRunner.h"
#include "cli/SettingsCommand.h"
#include "core/settings/SettingsFile.h"

#include <filesystem>
#include <ostream>

namespace maroka::cli {

namespace {

constexpr const char* kUsage =
    "usage: maroka-cli [global options] server [--folder DIR] [--show-data]\n"
    "  --folder DIR   the search and save folder (\"検索・保存フォルダ\"); kept in the settings\n"
    "  --show-data    print every line sent and received\n"
    "Runs until SIGINT or SIGTERM, which act as Reset.\n";

constexpr const char* kServerFolderKey = "検索・保存フォルダ";

} // namespace

int RunServerCommand(CliContext& ctx, const std::vector<std::string>& args)
{
    std::string folder;
    bool showData = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            ctx.out << kUsage;
            return kExitOk;
        }
        if (arg == "--show-data") {
            showData = true;
        } else if (arg == "--folder" && i + 1 < args.size()) {
            folder = std::filesystem::absolute(args[++i]).lexically_normal().string();
        } else {
            ctx.err << "server: unexpected argument " << arg << "\n" << kUsage;
            return kExitUsage;
        }
    }

    SessionRunner runner(ctx, TerminalAnswers{});
    runner.Ui().SetShowData(showData);
    if (!runner.Start())
        return kExitFailure;
    if (!folder.empty()) {
        settings::SessionSettings& values = runner.Get().MutableSettings();
        values.serverFolder = folder;
        const settings::SettingsFile file(ResolveSettingsPath(ctx));
        if (const auto error = file.SaveSetting(*settings::FindSettingKey(kServerFolderKey), values))
            ctx.err << "server: " << error->Text() << '\n';
    }
    runner.Get().StartServer();
    if (!runner.Get().TransferRunning()) {
        ctx.err << "server: the server mode did not start\n";
        return kExitFailure;
    }
    runner.WaitForTransfer();
    // A supervisor must not take a server that gave up for a clean stop.
    if (const std::string failure = runner.Get().ServerFailure(); !failure.empty()) {
        ctx.err << "server: stopped: " << failure << '\n';
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace maroka::cli
