#include "BuildFixture.h"

#include "core/prepare/PrepareMessages.h"
#include "core/prepare/SubprogramExpander.h"

#include <gtest/gtest.h>

namespace maroka::prepare {
namespace {

class Expansion : public test::BuildFixture, public ::testing::Test {
protected:
    Expansion() { settings.dncMode = true; }

    // The build of MAIN.NC holding `main`, with SUB.NC holding `sub`.
    std::string Expand(const std::string& main, const std::string& sub)
    {
        File("SUB.NC", sub);
        return Convert(main);
    }
};

TEST_F(Expansion, WritesTheSubprogramOncePerRepetitionUnderALabel)
{
    EXPECT_EQ(Expand("G65[SUB.NC]X10.Y-5.P2\n", "O100\r\nG00X#24Y#25\r\nM99\r\n"),
              "%\n"
              "(*SUB.NC.001)\n(O100)\nG00X10.Y-5.\n"
              "(*SUB.NC.002)\n(O100)\nG00X10.Y-5.\n"
              "%\n");
    // Labels go on across calls of one build and start again with the next.
    File("OTHER.NC", "G01\n");
    EXPECT_EQ(Expand("G65[SUB.NC]P2\nG65[sub.nc]\nG65[OTHER.NC]\n", "G00\n"),
              "%\n(*SUB.NC.001)\nG00\n(*SUB.NC.002)\nG00\n(*SUB.NC.003)\nG00\n(*OTHER.NC.001)\nG01\n%\n");
}

TEST_F(Expansion, RepeatCountIsTheLeadingIntegerOfP)
{
    EXPECT_EQ(Expand("G65[SUB.NC]P0\n", "G00\n"), "%\n%\n");
    EXPECT_EQ(Expand("G65[SUB.NC]P-1\n", "G00\n"), "%\n%\n");
    EXPECT_EQ(Expand("G65[SUB.NC]P\n", "G00\n"), "%\n%\n");
    EXPECT_EQ(Expand("G65[SUB.NC]P2.5\n", "G00\n"), "%\n(*SUB.NC.001)\nG00\n(*SUB.NC.002)\nG00\n%\n");
}

TEST_F(Expansion, ArgumentsFillOnlyTheirOwnVariables)
{
    // X#1 gives X no text: the word stays and the DNC check removes it.
    EXPECT_EQ(Expand("G65[SUB.NC]X#1Y2.\n", "G00X#24Y#25\n"), "%\n(*SUB.NC.001)\nG00Y2.\n%\n");

    // An unset #11 is not #1 followed by "1".
    EXPECT_EQ(Expand("G65[SUB.NC]A5.\n", "G00X#11Y#1\n"), "%\n(*SUB.NC.001)\nG00Y5.\n%\n");

    const std::string all = "A1.B2.C3.I4.J5.K6.D7.E8.F9.H11.M13.Q17.R18.S19.T20.U21.V22.W23.X24.Y25.Z26.";
    const std::string uses = "A#1B#2C#3I#4J#5K#6D#7E#8F#9H#11M#13Q#17R#18S#19T#20U#21V#22W#23X#24Y#25Z#26";
    EXPECT_EQ(Expand("G65[SUB.NC]" + all + "\n", uses + "\n"), "%\n(*SUB.NC.001)\n" + all + "\n%\n");

    // Comments of the call are no arguments.
    EXPECT_EQ(Expand("G65[SUB.NC](X9.)X1.\n", "X#24\n"), "%\n(*SUB.NC.001)\nX1.\n%\n");
}

TEST_F(Expansion, GArgumentReplacesTheFirstRapidOfTheWholeCall)
{
    EXPECT_EQ(Expand("G65[SUB.NC]G91X0P2\n", "G90G00X#24\nG90G00Y1.\n"),
              "%\n(*SUB.NC.001)\nG91X0\nG90G00Y1.\n(*SUB.NC.002)\nG90G00X0\nG90G00Y1.\n%\n");
    EXPECT_EQ(Expand("G65[SUB.NC]G91X0\n", "G90G0X1.\n"), "%\n(*SUB.NC.001)\nG91X1.\n%\n");
    // A G argument alone is no argument text at all.
    EXPECT_EQ(Expand("G65[SUB.NC]G91\n", "G90G00X1.\n"), "%\n(*SUB.NC.001)\nG90G00X1.\n%\n");
}

TEST_F(Expansion, VariablesInLeadingCommentsStay)
{
    // Only the comment before the first real use keeps its "#24"; the DNC
    // check then takes that "(#24" away like any address.
    EXPECT_EQ(Expand("G65[SUB.NC]X5.\n", "(#24 IS X)G00X#24(#24)\n"), "%\n(*SUB.NC.001)\n IS X)G00X5.(5.)\n%\n");
    std::string block = "(A #1)(#1)X#1(#1)";
    SubstituteVariable(block, "#1", "7.");
    EXPECT_EQ(block, "(A #1)(#1)X7.(7.)");
}

TEST_F(Expansion, TheSubprogramsFramingAndEndCodesAreNeutralised)
{
    EXPECT_EQ(Expand("G65[SUB.NC]\n", "%\nO200(FINISH)\n:300\nG91G28Z0.M30\nM30\nM02X1.\nG6\nG65\nM2\nM20\n%\n"),
              "%\n(*SUB.NC.001)\n(O200 FINISH)\n(O300)\nG91G28Z0.\nG65\n\nM20\n%\n");

    settings.percentAtEachLabel = true;
    EXPECT_EQ(Expand("G65[SUB.NC]\n", "O100\nG00\n"), "(*SUB.NC.001)\n%\n(O100)\nG00\n%\n");

    settings.percentAtEachLabel = false;
    settings.percentComment = true;
    EXPECT_EQ(Expand("G65[SUB.NC]\n", "%START\n%\nO5%\n"), "(*SUB.NC.001)\n(START)\n(O5)\n");
}

TEST_F(Expansion, EveryCallOfOneFileGetsItsOwnArgumentsAndRapid)
{
    // The file is read and prepared once for the build: what depends on the
    // call must still differ between calls, what does not must stay.
    settings.ignoreCodesEnabled = true;
    settings.ignoreCodes = {"M05"};
    EXPECT_EQ(
        Expand("G65[SUB.NC]X1.\nG65[SUB.NC]X2.G91\nG65[SUB.NC]X3.\n", "%\nO9\nG90G00X#24\nM05\nG01Y1.M30\nM99\n%\n"),
        "%\n"
        "(*SUB.NC.001)\n(O9)\nG90G00X1.\nG01Y1.\n"
        "(*SUB.NC.002)\n(O9)\nG91X2.\nG01Y1.\n"
        "(*SUB.NC.003)\n(O9)\nG90G00X3.\nG01Y1.\n"
        "%\n");
}

TEST_F(Expansion, IgnoreCodesDropOrRemoveTheirCode)
{
    settings.ignoreCodesEnabled = true;
    settings.ignoreCodes = {"", "M05"};
    EXPECT_EQ(Expand("G65[SUB.NC]\n", "M05\nM051\nG00M05\nG01\n"), "%\n(*SUB.NC.001)\n1\nG00\nG01\n%\n");
}

TEST_F(Expansion, BadCallsFailWithTheirMessage)
{
    EXPECT_EQ(Expand("G65[SUB.NC X1.\n", "G00\n"), std::string("?") + msg::kCallWithoutBracket);
    EXPECT_EQ(Expand("G65[SUB.NC](X1.\n", "G00\n"), std::string("?") + msg::kUnclosedComment);
    EXPECT_EQ(Expand("G65[SUB.NC]X1234567890.123456\n", "G00\n"), std::string("?G65[SUB.NC]X1234567890.123456") +
                                                                      msg::kArgumentTooLongInfix + "X" +
                                                                      msg::kArgumentTooLongSuffix);
    EXPECT_EQ(Expand("G65[SUB.NC]\n", "#1=5\n"), std::string("?#1=5") + msg::kNotForDncSuffix);
    EXPECT_EQ(Expand("G65[SUB.NC]P10000\n", "G00\n"),
              std::string("?G65[SUB.NC]P10000") + msg::kTooManyRepetitionsSuffix);
    EXPECT_EQ(Expand("G65[MISSING.NC]\n", "G00\n"),
              "?" + (dir / "MISSING.NC").string() + msg::kSubprogramOpenFailedSuffix);
}

TEST_F(Expansion, NestedCallsExpandAndACycleStops)
{
    File("INNER.NC", "G01X#24\n");
    EXPECT_EQ(Expand("G65[SUB.NC]X1.\n", "G00\nG65[INNER.NC]X#24\nG65[INNER.NC]X2.\n"),
              "%\n(*SUB.NC.001)\nG00\n(*INNER.NC.001)\nG01X1.\n(*INNER.NC.002)\nG01X2.\n%\n");

    const std::string result = Expand("G65[SUB.NC]\n", "G00\nG65[SUB.NC]\n");
    EXPECT_EQ(result, std::string("?G65[SUB.NC]") + msg::kNestingTooDeepSuffix);
    EXPECT_EQ(Output().size(), 2u + static_cast<std::size_t>(SubprogramExpander::kMaxDepth) * 18u);
}

TEST_F(Expansion, SubprogramsAreFoundBesideTheListFileWhateverTheCase)
{
    std::filesystem::create_directory(dir / "nc");
    File("nc/sub.nc", "G00\n");
    File("nc/MAIN.NC", "G65[SUB.NC]\n");
    ASSERT_TRUE(BuildList({(dir / "nc" / "MAIN.NC").string()}).ok);
    EXPECT_EQ(Output(), "%\n(*SUB.NC.001)\nG00\n%\n");
}

} // namespace
} // namespace maroka::prepare
