#pragma once

// The Telnet side of a serial device server (the COM-PORT option): IAC
// escaping of the data both ways, option negotiation, and the option's
// commands and notifications. Pure: bytes in, bytes and events out.
//
//   EscapeData        doubles every IAC (0xFF) so any byte value passes
//   Negotiation       IAC WILL/WONT/DO/DONT <option>
//   ComPortCommand    IAC SB COM-PORT <command> <value, escaped> IAC SE
//   Baud/DataSize/... the value bytes of the commands we send
//   TelnetDecoder     splits what the server sends into data and events

#include "core/serial/LineSettings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace maroka::serial::telnet {

inline constexpr unsigned char kIac = 255;
inline constexpr unsigned char kDont = 254;
inline constexpr unsigned char kDo = 253;
inline constexpr unsigned char kWont = 252;
inline constexpr unsigned char kWill = 251;
inline constexpr unsigned char kSb = 250;
inline constexpr unsigned char kSe = 240;

inline constexpr unsigned char kOptBinary = 0;
inline constexpr unsigned char kOptSuppressGoAhead = 3;
inline constexpr unsigned char kOptComPort = 44;

// Commands of the COM-PORT option as the client sends them; the server
// answers each with the same number plus kServerOffset.
enum ComPortCommandCode : unsigned char {
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5,
    kNotifyLineState = 6,
    kNotifyModemState = 7,
    kSetLineStateMask = 10,
    kSetModemStateMask = 11,
    kPurgeData = 12,
};
inline constexpr unsigned char kServerOffset = 100;

// Values of SET-CONTROL.
enum ControlValue : unsigned char {
    kOutboundNoFlow = 1,
    kOutboundXonXoff = 2,
    kOutboundHardware = 3,
    kBreakOn = 5,
    kBreakOff = 6,
    kDtrOn = 8,
    kDtrOff = 9,
    kRtsOn = 11,
    kRtsOff = 12,
    kInboundNoFlow = 14,
    kInboundXonXoff = 15,
    kInboundHardware = 16,
};

// Values of PURGE-DATA.
inline constexpr unsigned char kPurgeReceive = 1;
inline constexpr unsigned char kPurgeTransmit = 2;
inline constexpr unsigned char kPurgeBoth = 3;

// Bits of NOTIFY-LINESTATE and NOTIFY-MODEMSTATE.
inline constexpr unsigned char kLineOverrun = 0x02;
inline constexpr unsigned char kLineParity = 0x04;
inline constexpr unsigned char kLineFraming = 0x08;
inline constexpr unsigned char kLineBreak = 0x10;
inline constexpr unsigned char kModemDeltaCts = 0x01;
inline constexpr unsigned char kModemDeltaDsr = 0x02;
inline constexpr unsigned char kModemDeltaCd = 0x08;

void AppendEscaped(std::string& out, const char* data, std::size_t size);
std::string Negotiation(unsigned char verb, unsigned char option);
std::string ComPortCommand(unsigned char command, const std::string& value);

std::string BaudValue(std::uint32_t baud);          // 4 bytes, network order
unsigned char DataSizeValue(const LineSettings& s); // 5..8
unsigned char ParityValue(const LineSettings& s);   // 1 none, 2 odd, 3 even, 4 mark, 5 space
unsigned char StopSizeValue(const LineSettings& s); // 1 one, 2 two, 3 one and a half
// The SET-CONTROL values that ask the server for the flow control of `s`.
// Outbound XON/XOFF is ours (the machine's XOFF must reach us), so the server
// is asked for it only inbound (fInX); RTS/CTS goes both ways.
std::vector<unsigned char> FlowControlValues(const LineSettings& s);

struct TelnetEvent {
    enum class Kind {
        Negotiation,    // verb + option
        Subnegotiation, // option + payload (unescaped)
    };
    Kind kind = Kind::Negotiation;
    unsigned char verb = 0;
    unsigned char option = 0;
    std::string payload;

    bool operator==(const TelnetEvent&) const = default;
};

// Splits the server's stream. Commands may be cut anywhere between two
// calls; the decoder keeps the state. Other Telnet commands (NOP, GA, ...)
// are dropped.
class TelnetDecoder {
public:
    void Feed(const unsigned char* data, std::size_t size, std::string& out, std::vector<TelnetEvent>& events);

private:
    enum class State {
        Data,
        Iac,
        Verb,
        SubOption,
        SubData,
        SubIac,
    };
    State state_ = State::Data;
    unsigned char verb_ = 0;
    TelnetEvent sub_;
};

} // namespace maroka::serial::telnet
