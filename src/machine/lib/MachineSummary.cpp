#include "machine/lib/MachineSummary.h"

#include <cstdio>
#include <sstream>

namespace maroka::machine {

std::string SummaryLine(const MachineReport& r, bool dnc)
{
    std::ostringstream out;
    out << "maroka-machine: summary: received " << r.bytesReceived << " bytes";
    if (dnc)
        out << ", executed " << r.bytesConsumed << " bytes (buffer peak " << r.maxBufferFill << ")";
    out << ", sent " << r.bytesSent << " bytes, programs " << r.programs << ", alarms " << r.alarms;
    if (r.lostBytes > 0)
        out << " (" << r.lostBytes << " bytes lost)";
    if (dnc) {
        char starved[64];
        std::snprintf(starved, sizeof starved, "%.3f", r.starvedSeconds);
        out << ", XOFF " << r.xoffSent << ", XON " << r.xonSent << ", starved " << starved << " s";
    }
    return out.str();
}

std::string FiguresLine(const MachineReport& r)
{
    char line[512];
    std::snprintf(line, sizeof line,
                  "maroka-machine: figures received=%zu executed=%zu lost=%zu alarms=%zu starved_s=%.3f feed_s=%.3f "
                  "buffer_peak=%zu xoff=%zu xon=%zu after_xoff_max=%zu wire_backlog_max=%zu",
                  r.bytesReceived, r.bytesConsumed, r.lostBytes, r.alarms, r.starvedSeconds, r.feedSeconds,
                  r.maxBufferFill, r.xoffSent, r.xonSent, r.maxAfterXoff, r.maxWireBacklog);
    return line;
}

} // namespace maroka::machine
