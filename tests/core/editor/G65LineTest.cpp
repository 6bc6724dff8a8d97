#include "core/editor/G65Line.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace maroka;

TEST(G65LineTest, VariablesAreListedOnceInOrderOfFirstUse)
{
    EXPECT_EQ(editor::ScanVariables({"G00X#24Y#25", "G01Z#26F#9", "X#24Y#25"}), "#24 #25 #26 #9 ");
    // "#" before anything but a digit or "#" is no variable; the scan goes on
    // right after it.
    EXPECT_EQ(editor::ScanVariables({"(#A) # #X1 G01X#1", "#"}), "#1 ");
    EXPECT_EQ(editor::ScanVariables({"G00X1."}), "");
    // A listed variable does not hide another that it ends with or starts
    // with: "##1" listed first still leaves room for "#1".
    EXPECT_EQ(editor::ScanVariables({"X#21Y#1Z#2", "#12"}), "#21 #1 #2 #12 ");
    EXPECT_EQ(editor::ScanVariables({"X##1Y#1"}), "##1 #1 ");
}

// A call without variables has no parentheses.
TEST(G65LineTest, TheCallLineOfAFileScansAllItsLines)
{
    test::TempDir dir;
    const std::string sub = (dir / "SUB.NC").string();
    test::WriteFileBytes(sub, "O9000\r\nG91G01X#24F#9\r\nY#24\r\nM99");
    EXPECT_EQ(editor::G65LineForFile(sub), "G65[" + sub + "](#24 #9 )");
    const std::string plain = (dir / "PLAIN.NC").string();
    test::WriteFileBytes(plain, "O9001\nG00X0\nM99\n");
    EXPECT_EQ(editor::G65LineForFile(plain), "G65[" + plain + "]");
    EXPECT_EQ(editor::G65LineForFile((dir / "MISSING.NC").string()), std::nullopt);
}
