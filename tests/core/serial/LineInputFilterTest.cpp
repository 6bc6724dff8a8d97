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

LineSettings SevenBitLine()
{
    LineSettings s;
    s.ByteSize = 7;
    s.Parity = kEvenParity;
    s.fOutX = true;
    s.fNull = true;
    s.XonChar = kXon;
    s.XoffChar = kXoff93;
    s.EvtChar = kXon;
    return s;
}

TEST(LineInputFilter, OnASevenBitLineFlowControlIsRecognisedOnTheDataBitsAndTakenOut)
{
    LineInputFilter filter;
    filter.Configure(SevenBitLine());
    Take(filter, std::string("A\x13"
                             "B",
                             3)); // 0x13 is 0x93 without its parity bit
    EXPECT_TRUE(filter.OutputStopped());
    Take(filter, "\x91"
                 "C"); // DC1 with the parity bit set
    EXPECT_FALSE(filter.OutputStopped());
    // The XON that ended a stop is flow control, not the machine's signal.
    EXPECT_FALSE(filter.TakeEventChar());
    Take(filter, "\x91");
    EXPECT_TRUE(filter.TakeEventChar());
    EXPECT_FALSE(filter.TakeEventChar()) << "noted once";
    EXPECT_EQ(ReadAll(filter), "ABC");
}

TEST(LineInputFilter, NulGoesOnlyWhenAskedAndTheEventCharacterCountsWithoutFlowControl)
{
    LineSettings s = SevenBitLine();
    s.ByteSize = 8;
    s.XoffChar = kXoff13;
    s.fOutX = false;
    s.fNull = false;
    LineInputFilter filter;
    filter.Configure(s);
    Take(filter, std::string("a\0\x11\x13z", 5));
    EXPECT_FALSE(filter.OutputStopped());
    EXPECT_TRUE(filter.TakeEventChar());
    EXPECT_EQ(ReadAll(filter), std::string("a\0\x11\x13z", 5));

    s.fNull = true;
    filter.Configure(s);
    Take(filter, std::string("\0b\0\0c", 5));
    EXPECT_EQ(ReadAll(filter), "bc");
}

TEST(LineInputFilter, ALineThatStopsObeyingXoffIsNoLongerHeldAndInputSurvivesCompaction)
{
    LineInputFilter filter;
    filter.Configure(SevenBitLine());
    Take(filter, "\x13");
    ASSERT_TRUE(filter.OutputStopped());
    LineSettings off = SevenBitLine();
    off.fOutX = false;
    filter.Configure(off);
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
    filter.ClearInput();
    EXPECT_EQ(filter.Buffered(), 0u);
}

} // namespace
} // namespace maroka::serial
