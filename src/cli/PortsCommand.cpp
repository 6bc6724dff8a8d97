#include "cli/PortsCommand.h"

#include "cli/SettingsCommand.h"
#include "core/session/DefaultPorts.h"
#include "core/session/UsedDeviceServers.h"

#include <ostream>

namespace maroka::cli {

int RunPortsCommand(CliContext& ctx, const std::vector<std::string>& args)
{
    if (!args.empty() && (args.front() == "--help" || args.front() == "-h")) {
        ctx.out << "usage: maroka-cli ports\n"
                   "  lists the serial ports that can be opened now, then the device servers\n"
                   "  (rfc2217://host:port, tcp://host:port) this settings file has used\n";
        return kExitOk;
    }
    if (!args.empty()) {
        ctx.err << "ports: takes no arguments\n";
        return kExitUsage;
    }
    const auto ports = session::ListUsablePorts();
    for (const std::string& port : ports)
        ctx.out << port << '\n';
    // Not probed: connecting would take each server's port from whoever has it.
    const auto servers = session::UsedDeviceServers(ResolveSettingsPath(ctx));
    for (const std::string& server : servers)
        ctx.out << server << '\n';
    if (ports.empty() && servers.empty())
        ctx.err << "no usable serial port found (a pseudo-terminal path or a device server can still be given "
                   "with --port)\n";
    return kExitOk;
}

} // namespace maroka::cli
