#include "core/prepare/BlockReader.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace maroka::prepare {
namespace {

std::vector<std::string> ReadAll(const std::string& path, std::size_t bufferSize = 256 * 1024)
{
    BlockReader reader(bufferSize);
    EXPECT_TRUE(reader.Open(path));
    std::vector<std::string> blocks;
    std::string block;
    while (reader.Next(block))
        blocks.push_back(block);
    EXPECT_FALSE(reader.Failed());
    EXPECT_EQ(reader.Position(), reader.Size());
    return blocks;
}

TEST(BlockReader, SplitsLinesAndCutsLongOnesIntoBlocks)
{
    test::TempDir dir;
    const std::string longLine(3000, 'X');
    test::WriteFileBytes(dir / "a.nc", "G01\r\n\n" + longLine + "\nM30");
    const auto blocks = ReadAll((dir / "a.nc").string());
    ASSERT_EQ(blocks.size(), 5u);
    EXPECT_EQ(blocks[0], "G01\r\n");
    EXPECT_EQ(blocks[1], "\n");
    EXPECT_EQ(blocks[2], std::string(2047, 'X'));
    EXPECT_EQ(blocks[3], std::string(953, 'X') + "\n");
    EXPECT_EQ(blocks[4], "M30");
}

TEST(BlockReader, ACutNeverSplitsACharacterNorLeavesTheLineEndAlone)
{
    test::TempDir dir;
    // 2046 bytes, then a two-byte character across the 2047-byte limit.
    const std::string line = std::string(2046, 'A') + "\x83\x41" + "B";
    const std::string exact(2047, 'C');
    test::WriteFileBytes(dir / "a.nc", line + "\n" + exact + "\r\n" + "D\n");
    // A small buffer makes the reads cross the data at odd places.
    const auto blocks = ReadAll((dir / "a.nc").string(), 1);
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0], std::string(2046, 'A'));
    EXPECT_EQ(blocks[1], "\x83\x41"
                         "B\n");
    EXPECT_EQ(blocks[2], exact + "\r\n");
    EXPECT_EQ(blocks[3], "D\n");
}

TEST(BlockReader, RefusesFoldersAndMissingFiles)
{
    test::TempDir dir;
    BlockReader reader;
    EXPECT_FALSE(reader.Open(dir.Path().string()));
    EXPECT_FALSE(reader.Open((dir / "missing").string()));
}

} // namespace
} // namespace maroka::prepare
