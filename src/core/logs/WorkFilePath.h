#pragma once

// Names of the work files. Every name ends in a suffix made from the port in
// use, so instances on different ports share the work folder without touching
// each other's files: "<work folder>/LOGFILE.ttyUSB0".

#include <array>
#include <string>
#include <string_view>

namespace maroka::logs {

inline constexpr std::string_view kLogFile = "LOGFILE";          // communication log, kept
inline constexpr std::string_view kErrLogFile = "ERRLOGFILE";    // server-mode error log
inline constexpr std::string_view kCommandFile = "COMNDFILE";    // commands received in server mode
inline constexpr std::string_view kMailFile = "MAILFILE";        // notification mail text, kept
inline constexpr std::string_view kSendFile = "SENDFILE";        // the prepared send file
inline constexpr std::string_view kG65SendFile = "G65_SENDFILE"; // main program built by the list editor

// The files a session deletes when it closes its port; the communication log
// and the mail text outlive the program.
inline constexpr std::array<std::string_view, 4> kFilesDeletedAtExit = {
    kErrLogFile,
    kCommandFile,
    kSendFile,
    kG65SendFile,
};

// The port as a file-name suffix:
// - a device path gives its last component ("/dev/ttyUSB0" -> "ttyUSB0"), so
//   the same device named with or without "/dev/" shares its files;
// - a pseudo-terminal keeps its folder name ("/dev/pts/7" -> "pts7"), since a
//   bare "7" would say nothing about the port;
// - any "/" or ":" left over becomes "_" ("host:4001" -> "host_4001");
// - a plain name stays as it is ("COM1", "ttyS0").
std::string PortSuffix(std::string_view port);

// folder + "/" + name + "." + PortSuffix(port).
std::string WorkFilePath(std::string_view folder, std::string_view name, std::string_view port);

} // namespace maroka::logs
