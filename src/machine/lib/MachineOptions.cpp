#include "machine/lib/MachineOptions.h"

#include "core/text/ControlCodes.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string_view>

namespace maroka::machine {

namespace {

bool ParseSize(const std::string& text, std::size_t& value)
{
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool ParseNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value) && value >= 0.0 && value <= 1e7;
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

std::chrono::milliseconds Millis(double seconds)
{
    return std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000.0)));
}

// What the options set, before the line pace is worked out.
struct ParseState {
    MachineOptions& options;
    std::size_t baud = 9600;
    std::size_t bits = 10;
    std::optional<double> cps;
    bool memSeen = false;
};

// A value's handler returns an empty text, or what is wrong with the value.
using Handler = std::function<std::string(ParseState&, const std::string&)>;

struct Option {
    std::string_view section;
    std::string_view name;
    std::string_view value; // empty for a switch
    std::string_view help;
    Handler apply;
};

Handler Switch(std::function<void(ParseState&)> set)
{
    return [set](ParseState& s, const std::string&) {
        set(s);
        return std::string();
    };
}

Handler Text(std::string MachineOptions::*member)
{
    return [member](ParseState& s, const std::string& v) {
        s.options.*member = v;
        return std::string();
    };
}

Handler Size(std::function<std::size_t&(ParseState&)> target)
{
    return [target](ParseState& s, const std::string& v) {
        return ParseSize(v, target(s)) ? std::string() : "not a whole number: " + v;
    };
}

Handler Number(std::function<void(ParseState&, double)> set)
{
    return [set](ParseState& s, const std::string& v) {
        double number = 0;
        if (!ParseNumber(v, number))
            return "not a number of seconds or characters: " + v;
        set(s, number);
        return std::string();
    };
}

Handler Faults(ByteFault::Kind kind)
{
    return [kind](ParseState& s, const std::string& v) {
        if (ParseFaults(v, kind, s.options.punch.faults))
            return std::string();
        return std::string("takes byte positions separated by commas") +
               (kind == ByteFault::Kind::Flip ? ", e.g. 10,20=3F" : "");
    };
}

const std::vector<Option>& Options()
{
    static const std::vector<Option> table = {
        {"Mode", "--mem", "", "read programs into memory (default)", Switch([](ParseState& s) {
             s.memSeen = true;
             s.options.config.mode = MachineMode::Memory;
         })},
        {"Mode", "--dnc", "", "drip feed: execute from a small buffer, with XON/XOFF",
         Switch([](ParseState& s) { s.options.config.mode = MachineMode::Dnc; })},
        {"Mode", "--punch", "FILE", "punch FILE to the PC (leader, DC2, the bytes, DC4)",
         Text(&MachineOptions::punchFile)},
        {"Mode", "--command", "TEXT", "send the command program \"%\", TEXT, \"%\" and read the reply",
         Text(&MachineOptions::commandLine)},
        {"Line", "--baud", "N", "speed of the wire in baud (default 9600)",
         [](ParseState& s, const std::string& v) {
             return ParseSize(v, s.baud) && s.baud > 0 ? std::string() : "must be a whole number above 0";
         }},
        {"Line", "--bits", "N", "bits per character: 10 for 8N1 (default), 11 for 7E2",
         [](ParseState& s, const std::string& v) {
             if (ParseSize(v, s.bits) && s.bits >= 7 && s.bits <= 12)
                 return std::string();
             return std::string("is the bits per character on the line, start and stop bits included (10 for "
                                "8N1, 11 for 7E2)");
         }},
        {"Line", "--cps", "N", "the wire in characters per second (overrides --baud/--bits)",
         Number([](ParseState& s, double v) { s.cps = v; })},
        {"Line", "--link", "PATH", "also make PATH a symbolic link to the device", Text(&MachineOptions::linkPath)},
        {"Memory and DNC", "--require-dc2", "", "memory mode: ignore everything before DC2",
         Switch([](ParseState& s) { s.options.config.requireDc2 = true; })},
        {"Memory and DNC", "--exec-cps", "N", "DNC: execute N characters per second (default: the line's pace)",
         Number([](ParseState& s, double v) { s.options.config.execCharsPerSecond = v; })},
        {"Memory and DNC", "--buffer", "N", "DNC buffer size in bytes (default 256)",
         Size([](ParseState& s) -> std::size_t& { return s.options.config.bufferSize; })},
        {"Memory and DNC", "--high", "N", "send XOFF when the buffer holds N bytes (default 192)",
         Size([](ParseState& s) -> std::size_t& { return s.options.config.highWater; })},
        {"Memory and DNC", "--low", "N", "send XON when the buffer is down to N bytes (default 64)",
         Size([](ParseState& s) -> std::size_t& { return s.options.config.lowWater; })},
        {"Memory and DNC", "--xoff", "13|93", "the XOFF byte in hexadecimal (default 13)",
         [](ParseState& s, const std::string& v) {
             unsigned char& xoff = s.options.config.xoffByte;
             if (ParseHexByte(v, xoff) && (xoff == text::kXoff13 || xoff == text::kXoff93))
                 return std::string();
             return std::string("is 13 or 93");
         }},
        {"Memory and DNC", "--stop-on-alarm", "", "end the run at the first buffer overflow",
         Switch([](ParseState& s) { s.options.config.stopOnAlarm = true; })},
        {"Memory and DNC", "--silence", "SECONDS", "finish a tape that stalls this long (default: wait)",
         Number([](ParseState& s, double v) { s.options.config.silenceTimeout = Millis(v); })},
        {"Memory and DNC", "--save", "DIR", "store each program as DIR/O1234.NC or DIR/received.nc",
         Text(&MachineOptions::saveDir)},
        {"Cycle start", "--cycle-start-after", "S",
         "send the cycle-start byte S seconds after the start (with --command: after the command was sent)",
         Number([](ParseState& s, double v) { s.options.cycleStartAfter = v; })},
        {"Cycle start", "--cycle-start-byte", "HEX", "the cycle-start byte (default 11, DC1)",
         [](ParseState& s, const std::string& v) {
             return ParseHexByte(v, s.options.config.cycleStartByte) ? std::string()
                                                                     : "takes a byte in hexadecimal, e.g. 11";
         }},
        {"Punch and command", "--leader", "N", "N NULs before DC2 (default 0)",
         Size([](ParseState& s) -> std::size_t& { return s.options.punch.leaderNuls; })},
        {"Punch and command", "--no-dc2", "", "leave out the DC2",
         Switch([](ParseState& s) { s.options.punch.sendDc2 = false; })},
        {"Punch and command", "--no-dc4", "", "leave out the DC4",
         Switch([](ParseState& s) { s.options.punch.sendDc4 = false; })},
        {"Punch and command", "--punch-after", "S", "start the punch S seconds after the start",
         Number([](ParseState& s, double v) { s.options.punch.startDelay = Millis(v); })},
        {"Punch and command", "--wait-start", "", "start the punch when the PC sends DC1 or DC2",
         Switch([](ParseState& s) { s.options.punch.waitForStart = true; })},
        {"Punch and command", "--damage", "POS[,POS...]",
         "flip the lowest bit of the bytes at these 0-based positions of the file; POS=HEX puts HEX there",
         Faults(ByteFault::Kind::Flip)},
        {"Punch and command", "--drop", "POS[,POS...]", "leave out the bytes at these positions",
         Faults(ByteFault::Kind::Drop)},
        {"Ending", "--exit-after-program", "",
         "exit after one program was read (DNC: executed) or, with --punch, after the punch",
         Switch([](ParseState& s) { s.options.exitAfterProgram = true; })},
        {"Ending", "--timeout", "SECONDS", "give up after this long (exit status 1)",
         Number([](ParseState& s, double v) { s.options.timeout = v; })},
        {"Ending", "--help", "", "show this text", Switch([](ParseState& s) { s.options.help = true; })},
    };
    return table;
}

const Option* FindOption(std::string_view name)
{
    if (name == "-h")
        name = "--help";
    for (const Option& option : Options()) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

} // namespace

bool ParseMachineOptions(const std::vector<std::string>& args, MachineOptions& options, std::string& error)
{
    ParseState state{options, 9600, 10, std::nullopt, false};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const Option* option = FindOption(args[i]);
        if (!option) {
            error = "unknown option: " + args[i];
            return false;
        }
        std::string value;
        if (!option->value.empty()) {
            if (i + 1 >= args.size()) {
                error = args[i] + " needs a value";
                return false;
            }
            value = args[++i];
        }
        std::string wrong = option->apply(state, value);
        if (!wrong.empty()) {
            error = std::string(option->name) + ": " + wrong;
            return false;
        }
    }

    if (!options.punchFile.empty() && !options.commandLine.empty()) {
        error = "--punch and --command cannot be used together";
        return false;
    }
    if (state.memSeen && options.config.mode == MachineMode::Dnc) {
        error = "--mem and --dnc cannot be used together";
        return false;
    }
    options.config.lineCharsPerSecond =
        state.cps ? *state.cps : static_cast<double>(state.baud) / static_cast<double>(state.bits);
    if (!options.help) {
        error = ValidateConfig(options.config);
        if (!error.empty())
            return false;
    }
    return true;
}

std::string MachineUsage()
{
    std::string usage = R"(Usage: maroka-machine [OPTIONS]

A simulated CNC control on a pseudo-terminal. The first line on standard
output names the device for the PC side: "maroka-machine: device /dev/pts/N".
Bytes the PC writes reach the control at the pace of the wire; in DNC mode
the control executes them at its own pace.
)";
    std::string_view section;
    for (const Option& option : Options()) {
        if (option.section != section) {
            section = option.section;
            usage += "\n" + std::string(section) + ":\n";
        }
        std::string left = "  " + std::string(option.name);
        if (!option.value.empty())
            left += " " + std::string(option.value);
        left.resize(std::max<std::size_t>(left.size() + 1, 26), ' ');
        usage += left + std::string(option.help) + "\n";
    }
    usage += R"(
Enter on the terminal sends the cycle-start byte too; "q" and Enter ends the
program. At the end a summary and a line of figures go to standard output.

Exit status: 0 success, 1 failure (overflow alarm, time-out, line or file
error), 2 usage error.
)";
    return usage;
}

} // namespace maroka::machine
