#include "machine/lib/MachineOptions.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace maroka::machine {

namespace {

bool ParseSize(const std::string& text, std::size_t& value)
{
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool ParseSeconds(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value) && value >= 0.0 && value <= 1e6;
}

bool ParseHexByte(const std::string& text, unsigned char& value)
{
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.erase(0, 2);
    unsigned int parsed = 0;
    const char* end = digits.data() + digits.size();
    auto [ptr, ec] = std::from_chars(digits.data(), end, parsed, 16);
    if (digits.empty() || ec != std::errc() || ptr != end || parsed > 0xFF)
        return false;
    value = static_cast<unsigned char>(parsed);
    return true;
}

// "12,40,41=2A": positions, each optionally with the byte to put there.
bool ParseFaults(const std::string& text, ByteFault::Kind kind, std::vector<ByteFault>& faults)
{
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t comma = text.find(',', pos);
        if (comma == std::string::npos)
            comma = text.size();
        std::string item = text.substr(pos, comma - pos);
        ByteFault fault;
        fault.kind = kind;
        std::size_t eq = item.find('=');
        if (eq != std::string::npos) {
            if (kind != ByteFault::Kind::Flip || !ParseHexByte(item.substr(eq + 1), fault.value))
                return false;
            fault.kind = ByteFault::Kind::Replace;
            item.resize(eq);
        }
        if (!ParseSize(item, fault.position))
            return false;
        faults.push_back(fault);
        pos = comma + 1;
    }
    return true;
}

} // namespace

bool ParseMachineOptions(const std::vector<std::string>& args, MachineOptions& options, std::string& error)
{
    std::size_t baud = 9600;
    std::size_t bits = 10;
    std::optional<double> cps;
    bool memSeen = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto sizeValue = [&](std::size_t& out) {
            std::string text;
            if (!value(text))
                return false;
            if (!ParseSize(text, out)) {
                error = arg + ": not a whole number: " + text;
                return false;
            }
            return true;
        };
        auto secondsValue = [&](double& out) {
            std::string text;
            if (!value(text))
                return false;
            if (!ParseSeconds(text, out)) {
                error = arg + ": not a number of seconds: " + text;
                return false;
            }
            return true;
        };
        auto millis = [](double seconds) {
            return std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000.0)));
        };

        std::string text;
        double seconds = 0;
        std::size_t number = 0;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--mem") {
            memSeen = true;
            options.config.mode = MachineMode::Memory;
        } else if (arg == "--dnc") {
            options.config.mode = MachineMode::Dnc;
        } else if (arg == "--punch") {
            if (!value(options.punchFile))
                return false;
        } else if (arg == "--command") {
            if (!value(options.commandLine))
                return false;
        } else if (arg == "--link") {
            if (!value(options.linkPath))
                return false;
        } else if (arg == "--save") {
            if (!value(options.saveDir))
                return false;
        } else if (arg == "--baud") {
            if (!sizeValue(baud))
                return false;
            if (baud == 0) {
                error = "--baud must be above 0";
                return false;
            }
        } else if (arg == "--bits") {
            if (!sizeValue(bits))
                return false;
            if (bits < 7 || bits > 12) {
                error = "--bits is the bits per character on the line, start and stop bits included (10 for 8N1, 11 "
                        "for 7E2)";
                return false;
            }
        } else if (arg == "--cps") {
            if (!secondsValue(seconds))
                return false;
            cps = seconds;
        } else if (arg == "--buffer") {
            if (!sizeValue(options.config.bufferSize))
                return false;
        } else if (arg == "--high") {
            if (!sizeValue(options.config.highWater))
                return false;
        } else if (arg == "--low") {
            if (!sizeValue(options.config.lowWater))
                return false;
        } else if (arg == "--xoff") {
            if (!value(text))
                return false;
            if (!ParseHexByte(text, options.config.xoffByte)
                || (options.config.xoffByte != kDc3 && options.config.xoffByte != kDc3High)) {
                error = "--xoff is 13 or 93";
                return false;
            }
        } else if (arg == "--stop-on-alarm") {
            options.config.stopOnAlarm = true;
        } else if (arg == "--require-dc2") {
            options.config.requireDc2 = true;
        } else if (arg == "--cycle-start-after") {
            if (!secondsValue(seconds))
                return false;
            options.cycleStartAfter = seconds;
        } else if (arg == "--cycle-start-byte") {
            if (!value(text))
                return false;
            if (!ParseHexByte(text, options.config.cycleStartByte)) {
                error = "--cycle-start-byte takes a byte in hexadecimal, e.g. 11";
                return false;
            }
        } else if (arg == "--silence") {
            if (!secondsValue(seconds))
                return false;
            options.config.silenceTimeout = millis(seconds);
        } else if (arg == "--timeout") {
            if (!secondsValue(seconds))
                return false;
            options.timeout = seconds;
        } else if (arg == "--exit-after-program") {
            options.exitAfterProgram = true;
        } else if (arg == "--leader") {
            if (!sizeValue(number))
                return false;
            options.punch.leaderNuls = number;
        } else if (arg == "--no-dc2") {
            options.punch.sendDc2 = false;
        } else if (arg == "--no-dc4") {
            options.punch.sendDc4 = false;
        } else if (arg == "--punch-after") {
            if (!secondsValue(seconds))
                return false;
            options.punch.startDelay = millis(seconds);
        } else if (arg == "--wait-start") {
            options.punch.waitForStart = true;
        } else if (arg == "--damage" || arg == "--drop") {
            if (!value(text))
                return false;
            auto kind = arg == "--damage" ? ByteFault::Kind::Flip : ByteFault::Kind::Drop;
            if (!ParseFaults(text, kind, options.punch.faults)) {
                error
                    = arg + " takes byte positions separated by commas" + (arg == "--damage" ? ", e.g. 10,20=3F" : "");
                return false;
            }
        } else {
            error = "unknown option: " + arg;
            return false;
        }
    }

    if (!options.punchFile.empty() && !options.commandLine.empty()) {
        error = "--punch and --command cannot be used together";
        return false;
    }
    if (memSeen && options.config.mode == MachineMode::Dnc) {
        error = "--mem and --dnc cannot be used together";
        return false;
    }
    options.config.charsPerSecond = cps ? *cps : static_cast<double>(baud) / static_cast<double>(bits);
    if (!options.help) {
        error = ValidateConfig(options.config);
        if (!error.empty())
            return false;
    }
    return true;
}

std::string MachineUsage()
{
    return R"(Usage: maroka-machine [OPTIONS]

A simulated CNC control on a pseudo-terminal. The first line on standard
output names the device for the PC side: "maroka-machine: device /dev/pts/N".

Mode:
  --mem                   read programs into memory (default)
  --dnc                   drip feed: execute from a small buffer at the line pace
  --punch FILE            punch FILE to the PC (leader, DC2, the bytes, DC4)
  --command TEXT          send the command program "%", TEXT, "%" and read the reply

Line:
  --baud N                pace of the line in baud (default 9600)
  --bits N                bits per character: 10 for 8N1 (default), 11 for 7E2
  --cps N                 pace in characters per second (overrides --baud/--bits)
  --link PATH             also make PATH a symbolic link to the device

Memory and DNC:
  --require-dc2           memory mode: ignore everything before DC2
  --buffer N              DNC buffer size in bytes (default 256)
  --high N                send XOFF when the buffer holds N bytes (default 192)
  --low N                 send XON when the buffer is down to N bytes (default 64)
  --xoff 13|93            the XOFF byte in hexadecimal (default 13)
  --stop-on-alarm         end the run at the first buffer overflow
  --silence SECONDS       finish a tape that stalls this long (default: wait)
  --save DIR              store each program as DIR/O1234.NC or DIR/received.nc

Cycle start:
  --cycle-start-after S   send the cycle-start byte S seconds after the start
                          (with --command: after the command was sent)
  --cycle-start-byte HEX  the cycle-start byte (default 11, DC1)
  Enter on the terminal sends it too; "q" and Enter ends the program.

Punch and command:
  --leader N              N NULs before DC2 (default 0)
  --no-dc2, --no-dc4      leave out the DC2 or the DC4
  --punch-after S         start the punch S seconds after the start
  --wait-start            start the punch when the PC sends DC1 or DC2
  --damage POS[,POS...]   flip the lowest bit of the bytes at these 0-based
                          positions of the file; POS=HEX puts HEX there instead
  --drop POS[,POS...]     leave out the bytes at these positions

Ending:
  --exit-after-program    exit after one program was read (DNC: executed) or,
                          with --punch, after the punch; prints a summary
  --timeout SECONDS       give up after this long (exit status 1)
  --help                  show this text

Exit status: 0 success, 1 failure (overflow alarm, time-out, line or file
error), 2 usage error.
)";
}

} // namespace maroka::machine
