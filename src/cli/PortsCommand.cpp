#include "cli/PortsCommand.h"

#include "core/session/DefaultPorts.h"

#include <ostream>

namespace maroka::cli {

int RunPortsCommand(CliContext& ctx, const std::vector<std::string>& args)
{
    if (!args.empty() && (args.front() == "--help" || args.front() == "-h")) {
        ctx.out << "usage: maroka-cli ports\n  lists the serial ports that can be opened now\n";
        return kExitOk;
    }
    if (!args.empty()) {
        ctx.err << "ports: takes no arguments\n";
        return kExitUsage;
    }
    const auto ports = session::ListUsablePorts();
    for (const std::string& port : ports)
        ctx.out << port << '\n';
    if (ports.empty())
        ctx.err << "no usable serial port found (a pseudo-terminal path can still be given with --port)\n";
    return kExitOk;
}

} // namespace maroka::cli
