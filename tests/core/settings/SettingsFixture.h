#pragma once

// A settings file in a fresh folder, written and read as the program's own.

#include "core/settings/ProfileFile.h"
#include "core/settings/SettingsFile.h"
#include "support/Cp932Lines.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace maroka::settings::test {

using maroka::test::Cp932Lines;
using maroka::test::ReadFileBytes;
using maroka::test::WriteFileBytes;

inline std::size_t Count(const std::string& haystack, const std::string& needle)
{
    std::size_t count = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

class SettingsFixture : public ::testing::Test {
protected:
    // `utf8` with "\n" line ends, stored as CP932 with CR LF.
    void WriteLines(const std::string& utf8) const { WriteFileBytes(path, Cp932Lines(utf8)); }
    std::optional<std::string> Value(const std::string& key) const
    {
        return ProfileFile::ReadValue(path, kSettingsSection, key);
    }
    SettingsFile File() const { return SettingsFile(path); }

    maroka::test::TempDir dir;
    std::string path = dir / "maroka0.ini";
};

} // namespace maroka::settings::test
