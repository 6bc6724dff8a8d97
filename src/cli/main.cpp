// maroka-cli: the session of the main window, driven from a terminal.

#include "cli/CliContext.h"
#include "cli/MailCommand.h"
#include "cli/PortsCommand.h"
#include "cli/PrepareCommand.h"
#include "cli/ReceiveCommand.h"
#include "cli/SendCommand.h"
#include "cli/ServerCommand.h"
#include "cli/SettingsCommand.h"

#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

using namespace maroka::cli;

namespace {

using Command = std::function<int(CliContext&, const std::vector<std::string>&)>;

const std::map<std::string, Command>& Commands()
{
    static const std::map<std::string, Command> commands = {
        {"estimate", RunEstimateCommand}, {"mail", RunMailCommand},         {"ports", RunPortsCommand},
        {"receive", RunReceiveCommand},   {"prepare", RunPrepareCommand},   {"send", RunSendCommand},
        {"server", RunServerCommand},     {"settings", RunSettingsCommand},
    };
    return commands;
}

constexpr const char* kHelp =
    "usage: maroka-cli [--settings FILE] [--ini SUFFIX] [--port NAME] COMMAND [ARGS...]\n"
    "\n"
    "Moves NC programs between this PC and a CNC machine over a serial line.\n"
    "\n"
    "global options:\n"
    "  --settings FILE   use this settings file\n"
    "  --ini SUFFIX      use the settings file of instance SUFFIX (as the argument iniSUFFIX)\n"
    "  --port NAME       serial port for this run (/dev/ttyUSB0, COM1, /dev/pts/7,\n"
    "                    rfc2217://host:port, tcp://host:port, ...)\n"
    "\n"
    "commands:\n"
    "  send [--direct] FILE...             send programs to the machine\n"
    "  receive [--retry|--no-retry] FILE   receive one program from the machine\n"
    "  server [--folder DIR]               let the machine call, save, list, delete and rename files\n"
    "  mail [--text TEXT]                  send a notification mail with the mail settings\n"
    "  prepare [--mem|--dnc] FILE...       build the prepared send data\n"
    "  estimate [--mem|--dnc] FILE...      estimate the machining time\n"
    "  ports                               list the usable serial ports and used device servers\n"
    "  settings list|get|set|path          show or change the settings file\n"
    "\n"
    "COMMAND --help shows the options of a command.\n"
    "Exit status: 0 success, 1 failure, 2 usage error. SIGINT and SIGTERM act as Reset.\n";

std::string ProgramPath(const char* argv0)
{
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return self.string();
    return std::filesystem::absolute(argv0).string();
}

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    CliContext ctx{std::cout, std::cerr, std::cin, false, {}, {}};
    ctx.interactive = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
    ctx.programPath = ProgramPath(argv[0]);

    std::vector<std::string> args(argv + 1, argv + argc);
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            ctx.out << kHelp;
            return kExitOk;
        }
        const bool takesValue = arg == "--settings" || arg == "--ini" || arg == "--port";
        if (!takesValue)
            break;
        if (i + 1 >= args.size()) {
            ctx.err << arg << " needs a value\n" << kHelp;
            return kExitUsage;
        }
        const std::string& value = args[++i];
        if (arg == "--settings")
            ctx.options.settingsFile = value;
        else if (arg == "--ini")
            ctx.options.iniSuffix = value;
        else
            ctx.options.port = value;
    }
    if (i >= args.size()) {
        ctx.err << kHelp;
        return kExitUsage;
    }
    const auto command = Commands().find(args[i]);
    if (command == Commands().end()) {
        ctx.err << "unknown command: " << args[i] << "\n" << kHelp;
        return kExitUsage;
    }
    const std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
    return command->second(ctx, rest);
}
