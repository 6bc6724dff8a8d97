#include "core/serial/Rfc2217Codec.h"

namespace maroka::serial::telnet {

void AppendEscaped(std::string& out, const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        if (static_cast<unsigned char>(data[i]) == kIac)
            out.push_back(static_cast<char>(kIac));
    }
}

std::string Negotiation(unsigned char verb, unsigned char option)
{
    return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

std::string ComPortCommand(unsigned char command, const std::string& value)
{
    std::string out{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kOptComPort),
                    static_cast<char>(command)};
    AppendEscaped(out, value.data(), value.size());
    out.push_back(static_cast<char>(kIac));
    out.push_back(static_cast<char>(kSe));
    return out;
}

std::string BaudValue(std::uint32_t baud)
{
    return {static_cast<char>(baud >> 24), static_cast<char>(baud >> 16), static_cast<char>(baud >> 8),
            static_cast<char>(baud)};
}

unsigned char DataSizeValue(const LineSettings& s)
{
    return s.ByteSize >= 5 && s.ByteSize <= 8 ? s.ByteSize : 8;
}

unsigned char ParityValue(const LineSettings& s)
{
    // The block's codes: 0 none, 1 odd, 2 even, 3 mark, 4 space.
    return s.Parity <= 4 ? static_cast<unsigned char>(s.Parity + 1) : 1;
}

unsigned char StopSizeValue(const LineSettings& s)
{
    // The block's codes: 0 one, 1 one and a half, 2 two.
    switch (s.StopBits) {
    case 1:
        return 3;
    case kTwoStopBits:
        return 2;
    default:
        return 1;
    }
}

std::vector<unsigned char> FlowControlValues(const LineSettings& s)
{
    const bool hardware = s.fOutxCtsFlow || s.fRtsControl == kRtsControlHandshake;
    std::vector<unsigned char> values;
    values.push_back(hardware ? kOutboundHardware : kOutboundNoFlow);
    values.push_back(hardware ? kInboundHardware : s.fInX ? kInboundXonXoff : kInboundNoFlow);
    return values;
}

void TelnetDecoder::Feed(const unsigned char* data, std::size_t size, std::string& out,
                         std::vector<TelnetEvent>& events)
{
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = data[i];
        switch (state_) {
        case State::Data:
            if (byte == kIac)
                state_ = State::Iac;
            else
                out.push_back(static_cast<char>(byte));
            break;
        case State::Iac:
            if (byte == kIac) {
                out.push_back(static_cast<char>(kIac));
                state_ = State::Data;
            } else if (byte >= kWill && byte <= kDont) {
                verb_ = byte;
                state_ = State::Verb;
            } else if (byte == kSb) {
                state_ = State::SubOption;
            } else {
                state_ = State::Data;
            }
            break;
        case State::Verb:
            events.push_back({TelnetEvent::Kind::Negotiation, verb_, byte, {}});
            state_ = State::Data;
            break;
        case State::SubOption:
            sub_ = {TelnetEvent::Kind::Subnegotiation, 0, byte, {}};
            state_ = State::SubData;
            break;
        case State::SubData:
            if (byte == kIac)
                state_ = State::SubIac;
            else
                sub_.payload.push_back(static_cast<char>(byte));
            break;
        case State::SubIac:
            if (byte == kIac) {
                sub_.payload.push_back(static_cast<char>(kIac));
                state_ = State::SubData;
            } else {
                // IAC SE ends it; any other command ends a broken one too.
                events.push_back(std::move(sub_));
                sub_ = {};
                state_ = State::Data;
            }
            break;
        }
    }
}

} // namespace maroka::serial::telnet
