#include "core/serial/LineInputFilter.h"

#include <gtest/gtest.h>

#include <string>

namespace maroka::serial {
namespace {

void Take(LineInputFilter& filter, const std::string& bytes)
{
    filter.Take(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string ReadAll(LineInputFilter& filter)
{
    std::string out(filter.Buffered(), '\0');
    out.resize(filter.Read(out.data(), out.size()));
    return out;
}

// 7E2 ISO with XOFF 0x93, or 8N1 with XOFF 0x93 or 0x13; obeying XON/XOFF and
// taking NULs out unless a case says otherwise.
LineSettings Line(std::uint8_t byteSize, std::uint8_t xoff, bool obey = true, bool dropNul = true)
{
    LineSettings s;
    s.ByteSize = byteSize;
    s.Parity = byteSize == 7 ? kEvenParity : kNoParity;
    s.fOutX = obey;
    s.fNull = dropNul;
    s.XoffChar = xoff;
    s.EvtChar = kXon;
    return s;
}

// Flow control is recognised on the data bits: on a 7-bit line 0x13 is 0x93
// without its parity bit and 0x91 is DC1 with it.
TEST(LineInputFilter, TakesOutFlowControlAndNulsAndNotesTheEventCharacterOnce)
{
    struct Case {
        LineSettings line;
        std::string in;
        std::string data;
        bool stopped;
        bool event;
    };
    const Case cases[] = {
        {Line(7, kXoff93), "A\x13Z", "AZ", true, false},
        {Line(7, kXoff93), "A\x93Z", "AZ", true, false},
        {Line(8, kXoff93), "A\x13Z", "A\x13Z", false, false},
        // The XON that ends a stop is flow control, not the machine's signal.
        {Line(7, kXoff93), "\x13\x91Z", "Z", false, false},
        {Line(7, kXoff93), "\x13\x91\x91", "", false, true},
        {Line(7, kXoff93), "\x91", "", false, true},
        {Line(8, kXoff13, false, false), std::string("a\0\x11\x13z", 5), std::string("a\0\x11\x13z", 5), false, true},
        {Line(8, kXoff13, false), std::string("\0b\0\0c", 5), "bc", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.in));
        LineInputFilter filter;
        filter.Configure(c.line);
        Take(filter, c.in);
        EXPECT_EQ(filter.OutputStopped(), c.stopped);
        EXPECT_EQ(filter.TakeEventChar(), c.event);
        EXPECT_FALSE(filter.TakeEventChar()) << "noted once";
        EXPECT_EQ(ReadAll(filter), c.data);
    }
}

TEST(LineInputFilter, ALineThatStopsObeyingXoffIsNoLongerHeldAndInputSurvivesCompaction)
{
    LineInputFilter filter;
    filter.Configure(Line(7, kXoff93));
    Take(filter, "\x13");
    ASSERT_TRUE(filter.OutputStopped());
    filter.Configure(Line(7, kXoff93, false));
    EXPECT_FALSE(filter.OutputStopped());

    std::string sent;
    std::string got;
    for (int round = 0; round < 40; ++round) {
        const std::string part(1000, static_cast<char>('a' + round % 26));
        sent += part;
        Take(filter, part);
        char buffer[700];
        got.append(buffer, filter.Read(buffer, sizeof buffer));
        filter.Compact();
    }
    got += ReadAll(filter);
    EXPECT_EQ(got, sent);
    Take(filter, "x\x11");
    filter.ClearInput();
    EXPECT_EQ(filter.Buffered(), 0u);
    EXPECT_FALSE(filter.TakeEventChar()) << "a pending event character goes with the input";
}

} // namespace
} // namespace maroka::serial
