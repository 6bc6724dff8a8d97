#include "cli/MailCommand.h"

#include "cli/SettingsCommand.h"
#include "cli/TerminalUserInterface.h"
#include "core/logs/WorkFilePath.h"
#include "core/logs/WorkFolder.h"
#include "core/mail/SendNotificationMail.h"
#include "core/settings/SettingsFile.h"

#include <ostream>

namespace maroka::cli {

namespace {

constexpr const char* kUsage =
    "usage: maroka-cli [global options] mail [--text TEXT]\n"
    "  --text TEXT   the body of the mail, as a mail command of the machine carries it\n"
    "Without --text the body is the port's mail text file (MAILFILE.<port>) or a fixed line.\n";

} // namespace

int RunMailCommand(CliContext& ctx, const std::vector<std::string>& args)
{
    std::string text;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            ctx.out << kUsage;
            return kExitOk;
        }
        if (arg == "--text" && i + 1 < args.size()) {
            text = args[++i];
        } else {
            ctx.err << "mail: unexpected argument " << arg << "\n" << kUsage;
            return kExitUsage;
        }
    }

    // The mail needs no serial line; it reads the settings and the mail
    // text file as the session would, and leaves the port's work files alone.
    settings::SessionSettings settings;
    if (const auto error = settings::SettingsFile(ResolveSettingsPath(ctx)).LoadSettings(settings))
        ctx.err << "error: " << error->Text() << '\n';
    const std::string port = ctx.options.port.value_or(settings.startupPort);
    const auto folder = logs::PrepareWorkFolder(ctx.programPath);

    TerminalUserInterface ui(ctx.err, ctx.in, ctx.interactive, TerminalAnswers{});
    mail::MailJob job;
    job.bodyFilePath = logs::WorkFilePath(folder.path, logs::kMailFile, port);
    job.mailCommandText = text;
    job.testFlag = true;
    job.caption = "Maroka";
    return mail::SendNotificationMail(ui, settings, job).sent ? kExitOk : kExitFailure;
}

} // namespace maroka::cli
