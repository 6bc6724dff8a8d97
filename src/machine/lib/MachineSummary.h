#pragma once

// The end-of-run lines of maroka-machine: a sentence for people and a line
// of figures for scripts ("key=value" pairs, the keys never change).

#include "machine/lib/MachineReport.h"

#include <string>

namespace maroka::machine {

std::string SummaryLine(const MachineReport& report, bool dnc);

// "maroka-machine: figures received=... executed=... lost=... alarms=...
// starved_s=... feed_s=... buffer_peak=... xoff=... xon=... after_xoff_max=...
// wire_backlog_max=..."
std::string FiguresLine(const MachineReport& report);

} // namespace maroka::machine
