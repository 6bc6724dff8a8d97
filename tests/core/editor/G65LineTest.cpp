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

// The call lines of existing files are checked where the editor makes them
// from dropped files; a file that cannot be read makes none.
TEST(G65LineTest, AFileThatCannotBeReadMakesNoCallLine)
{
    test::TempDir dir;
    EXPECT_EQ(editor::G65LineForFile((dir / "MISSING.NC").string()), std::nullopt);
}
