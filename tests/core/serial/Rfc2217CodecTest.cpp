#include "core/serial/Rfc2217Codec.h"
#include "core/serial/NetworkPortName.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace maroka::serial {
namespace {

using namespace telnet;

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (const int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

struct Decoded {
    std::string data;
    std::vector<TelnetEvent> events;
};

// Feeds `stream` in pieces of `step` bytes, so that commands are cut anywhere.
Decoded Decode(const std::string& stream, std::size_t step)
{
    TelnetDecoder decoder;
    Decoded d;
    for (std::size_t i = 0; i < stream.size(); i += step) {
        const std::size_t n = std::min(step, stream.size() - i);
        decoder.Feed(reinterpret_cast<const unsigned char*>(stream.data() + i), n, d.data, d.events);
    }
    return d;
}

TEST(Rfc2217Codec, EveryByteValueSurvivesEscapingAndDecodingWhereverTheStreamIsCut)
{
    std::string all;
    for (int round = 0; round < 3; ++round)
        for (int v = 0; v < 256; ++v)
            all.push_back(static_cast<char>(v));
    all += Bytes({255, 255, 255});
    std::string escaped;
    AppendEscaped(escaped, all.data(), all.size());
    EXPECT_EQ(escaped.size(), all.size() + 6);
    for (const std::size_t step : {1U, 2U, 3U, 7U, 4096U}) {
        const Decoded d = Decode(escaped, step);
        EXPECT_EQ(d.data, all) << "pieces of " << step;
        EXPECT_TRUE(d.events.empty());
    }
}

TEST(Rfc2217Codec, CommandsCarryTheirValuesEscapedInOneSubnegotiation)
{
    // 255 in the value is doubled; the frame is IAC SB 44 <cmd> ... IAC SE.
    EXPECT_EQ(ComPortCommand(kSetBaudRate, BaudValue(0x0001FFFF)),
              Bytes({255, 250, 44, 1, 0, 1, 255, 255, 255, 255, 255, 240}));
    EXPECT_EQ(ComPortCommand(kPurgeData, std::string(1, static_cast<char>(kPurgeTransmit))),
              Bytes({255, 250, 44, 12, 2, 255, 240}));
    EXPECT_EQ(BaudValue(4800), Bytes({0, 0, 0x12, 0xC0}));
    EXPECT_EQ(Negotiation(kWill, kOptComPort), Bytes({255, 251, 44}));
}

TEST(Rfc2217Codec, LineFormatValuesFollowTheControlBlock)
{
    struct Case {
        std::uint8_t parity;
        std::uint8_t stopBits;
        int parityValue;
        int stopValue;
    };
    // Odd parity is 1 and one and a half stop bits are 1 in the control block.
    for (const Case& c :
         {Case{kEvenParity, kTwoStopBits, 3, 2}, Case{1, 1, 2, 3}, Case{kNoParity, kOneStopBit, 1, 1}}) {
        const LineSettings s{.ByteSize = 7, .Parity = c.parity, .StopBits = c.stopBits};
        EXPECT_EQ(DataSizeValue(s), 7);
        EXPECT_EQ(ParityValue(s), c.parityValue) << int{c.parity};
        EXPECT_EQ(StopSizeValue(s), c.stopValue) << int{c.stopBits};
    }
}

TEST(Rfc2217Codec, FlowControlAsksTheServerOnlyForWhatIsNotOurs)
{
    LineSettings s;
    s.fOutX = true; // the machine's XOFF must reach us: not the server's job
    EXPECT_EQ(FlowControlValues(s), (std::vector<unsigned char>{kOutboundNoFlow, kInboundNoFlow}));
    s.fInX = true;
    EXPECT_EQ(FlowControlValues(s), (std::vector<unsigned char>{kOutboundNoFlow, kInboundXonXoff}));
    s.fOutxCtsFlow = true;
    s.fRtsControl = kRtsControlHandshake;
    EXPECT_EQ(FlowControlValues(s), (std::vector<unsigned char>{kOutboundHardware, kInboundHardware}));
}

TEST(Rfc2217Codec, DecoderSeparatesNegotiationsAndNotificationsFromData)
{
    // What ser2net says first, data, a line-state notification whose value
    // is an escaped 255, a NOP (dropped), more data.
    const std::string stream =
        Bytes({255, 251, 3, 255, 253, 44, 'A', 255, 250, 44, 106, 255, 255, 255, 240, 'B', 255, 241, 'C', 255, 255});
    for (const std::size_t step : {1U, 5U, 100U}) {
        const Decoded d = Decode(stream, step);
        EXPECT_EQ(d.data, Bytes({'A', 'B', 'C', 255}));
        ASSERT_EQ(d.events.size(), 3u);
        EXPECT_EQ(d.events[0], (TelnetEvent{TelnetEvent::Kind::Negotiation, kWill, kOptSuppressGoAhead, {}}));
        EXPECT_EQ(d.events[1], (TelnetEvent{TelnetEvent::Kind::Negotiation, kDo, kOptComPort, {}}));
        EXPECT_EQ(d.events[2], (TelnetEvent{TelnetEvent::Kind::Subnegotiation, 0, kOptComPort, Bytes({106, 255})}));
    }
}

TEST(NetworkPortName, ParsesBothProtocolsAndRefusesWhatIsNotAnAddress)
{
    EXPECT_EQ(ParseNetworkPortName("rfc2217://192.168.1.20:4001"),
              (NetworkPortName{NetworkProtocol::Rfc2217, "192.168.1.20", "4001"}));
    EXPECT_EQ(ParseNetworkPortName("TCP://moxa-3.shop:0950/"),
              (NetworkPortName{NetworkProtocol::Raw, "moxa-3.shop", "950"}));
    EXPECT_EQ(ParseNetworkPortName("tcp://[::1]:7000"), (NetworkPortName{NetworkProtocol::Raw, "::1", "7000"}));
    for (const char* bad : {"rfc2217://host", "tcp://:4001", "tcp://host:0", "tcp://host:65536", "tcp://host:40a",
                            "tcp://::1:7000", "tcp://[::1]7000", "/dev/ttyS0", "COM3", "udp://host:1"})
        EXPECT_FALSE(ParseNetworkPortName(bad)) << bad;
    EXPECT_TRUE(IsNetworkPortName("Rfc2217://x"));
    EXPECT_FALSE(IsNetworkPortName("/dev/tcp://x"));
}

} // namespace
} // namespace maroka::serial
