#pragma once

// Writes a realistic mold-finishing program, as CAM systems post them: a
// ball-end raster over a curved surface with modal X Y Z words of three
// decimals and blanks between words, occasional feed changes, arcs with
// I/J/K or R in all three planes, helical entries, linking rapids and
// plunges, comments and block-skip lines. Deterministic for a given count.

#include <cstdint>
#include <string>

namespace maroka::bench {

// Writes `blocks` blocks (CR LF line ends) to `path`; false on failure.
bool WriteMoldProgram(const std::string& path, std::uint64_t blocks);

// A file of `calls` G65 calls of SUB.NC (a subprogram of `subBlocks`
// blocks), written as MAIN.NC and SUB.NC into `folder`.
bool WriteCallProgram(const std::string& folder, int calls, int subBlocks);

} // namespace maroka::bench
