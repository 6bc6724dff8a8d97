#include "machine/lib/TapeReader.h"
#include "machine/lib/MachineConfig.h"

#include <gtest/gtest.h>

using namespace maroka::machine;
using namespace std::string_literals;

TEST(TapeReaderTest, TapeRunsFromFirstPercentToClosingPercentLine)
{
    TapeReader reader;
    reader.Feed("\0\0\0\x12\r\nnoise%\r\nO1234(MAIN)\r\nG00X0\r\n%\r\n\x14"s);
    auto programs = reader.TakeFinished();
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(programs[0].text, "%\r\nO1234(MAIN)\r\nG00X0\r\n%\r\n");
    EXPECT_EQ(programs[0].number, "O1234");
    EXPECT_EQ(programs[0].lines, 4u);
    EXPECT_EQ(programs[0].end, ProgramEnd::TailPercent);
    EXPECT_EQ(reader.SkippedBytes(), 5u); // "noise"
}

TEST(TapeReaderTest, PercentInsideALineDoesNotEndTheTape)
{
    TapeReader reader;
    reader.Feed("%\nO1\n#1=5%3\n(100%)\n\r\r%\nO2\n");
    auto programs = reader.TakeFinished();
    ASSERT_EQ(programs.size(), 1u);
    // LF CR CR line ends: the CRs keep the line start, so the "%" closes.
    EXPECT_EQ(programs[0].text, "%\nO1\n#1=5%3\n(100%)\n\r\r%\n");
    // What follows the closing line is skipped until the next "%".
    EXPECT_FALSE(reader.InProgram());
    EXPECT_EQ(reader.SkippedBytes(), 2u);
}

TEST(TapeReaderTest, EndsAtDc4AndDropsLineControlAndNuls)
{
    TapeReader reader;
    reader.Feed("%\nO0\x11\x13"
                "12\0\n:55\n\x12G01\n\x14G02\n"s);
    auto programs = reader.TakeFinished();
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(programs[0].text, "%\nO012\n:55\nG01\n");
    EXPECT_EQ(programs[0].end, ProgramEnd::Dc4);
    EXPECT_FALSE(programs[0].Complete());
    EXPECT_EQ(programs[0].number, "O012");
}

TEST(TapeReaderTest, ClosingPercentWithoutLineEndFinishesOnTheNextByteOrFinish)
{
    TapeReader reader;
    reader.Feed("%\nO7\n%");
    EXPECT_TRUE(reader.AfterClosingPercent());
    EXPECT_TRUE(reader.TakeFinished().empty());
    reader.Feed("%"); // the next tape starts at once
    auto first = reader.TakeFinished();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].text, "%\nO7\n%");
    EXPECT_TRUE(reader.InProgram());

    reader.Feed("\nO8\n%");
    reader.Finish(ProgramEnd::Silence); // a closed tape stays closed
    auto second = reader.TakeFinished();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].end, ProgramEnd::TailPercent);

    reader.Feed("%\nO9\nG0");
    reader.Finish(ProgramEnd::Silence);
    auto third = reader.TakeFinished();
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(third[0].text, "%\nO9\nG0");
    EXPECT_EQ(third[0].end, ProgramEnd::Silence);

    reader.Finish(ProgramEnd::Stopped); // nothing started: nothing to report
    EXPECT_TRUE(reader.TakeFinished().empty());
}

TEST(TapeReaderTest, RequiredDc2GatesEveryTape)
{
    TapeReader reader(true);
    reader.Feed("%\nO1\n%\n\x12%\nO2\n%\n%\nO3\n%\n\x14\x12%\nO4\n\x14"s);
    auto programs = reader.TakeFinished();
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0].number, "O2");
    EXPECT_EQ(programs[1].number, "O4");
}

TEST(TapeReaderTest, ProgramNumberComesFromTheFirstNumberedLine)
{
    EXPECT_EQ(FindProgramNumber("%\n(NO NUMBER)\nG00\n%\n"), "");
    EXPECT_EQ(FindProgramNumber("%\n(HEAD)\n  O0042 (X)\nO5\n"), "O0042");
    EXPECT_EQ(FindProgramNumber("%\nO\nOX1\n:0099\n"), "O0099");
}
