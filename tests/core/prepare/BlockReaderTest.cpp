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

TEST(BlockReader, SplitsLinesCutsLongOnesIntoBlocksAndRefusesFoldersAndMissingFiles)
{
    test::TempDir dir;
    // 2046 bytes, then a two-byte character across the 2047-byte limit: a
    // cut never splits a character nor leaves the line end alone.
    const std::string split = std::string(2046, 'A') + "\x83\x41" + "B\n";
    const std::string exact = std::string(2047, 'C') + "\r\n";
    test::WriteFileBytes(dir / "a.nc", "G01\r\n\n" + std::string(3000, 'X') + "\n" + split + exact + "D\nM30");
    const std::vector<std::string> expected = {"G01\r\n",
                                               "\n",
                                               std::string(2047, 'X'),
                                               std::string(953, 'X') + "\n",
                                               std::string(2046, 'A'),
                                               "\x83\x41"
                                               "B\n",
                                               exact,
                                               "D\n",
                                               "M30"};
    // A one-byte buffer makes the reads cross the data at odd places.
    for (const std::size_t buffer : {std::size_t{1}, std::size_t{256 * 1024}})
        EXPECT_EQ(ReadAll((dir / "a.nc").string(), buffer), expected) << buffer;

    BlockReader reader;
    EXPECT_FALSE(reader.Open(dir.Path().string()));
    EXPECT_FALSE(reader.Open((dir / "missing").string()));
}

} // namespace
} // namespace maroka::prepare
