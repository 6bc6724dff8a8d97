#include "core/settings/SettingsFileChoice.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace maroka::settings;

namespace {

SettingsFileChoice Choose(std::vector<std::string> arguments)
{
    return ChooseSettingsFileIn("/opt/NC", "/opt/NC/Maroka.exe", arguments);
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(SettingsFileChoice, TheCommandLinePicksTheInstance)
{
    const SettingsFileChoice plain = Choose({});
    EXPECT_EQ(plain.settingsFilePath, "/opt/NC/maroka0.ini"); // the folder keeps its case
    EXPECT_EQ(plain.instanceBase, "/opt/NC/maroka_");
    EXPECT_FALSE(plain.receiveAtStart);
    EXPECT_FALSE(plain.startupFile);

    EXPECT_EQ(Choose({"INI3"}).settingsFilePath, "/opt/NC/maroka_3.ini");
    EXPECT_EQ(Choose({"ini"}).settingsFilePath, "/opt/NC/maroka_.ini");
    EXPECT_EQ(Choose({"ini2", "-INIab"}).settingsFilePath, "/opt/NC/maroka_ab.ini");
    EXPECT_EQ(Choose({"MyIni7"}).settingsFilePath, "/opt/NC/maroka_7.ini");
    EXPECT_EQ(ChooseSettingsFileIn("/opt/NC", "/opt/NC/maroka", {}).settingsFilePath, "/opt/NC/maroka0.ini");
    EXPECT_EQ(ChooseSettingsFileIn("/opt/NC/", "/usr/bin/.Maroka", {}).settingsFilePath, "/opt/NC/.maroka0.ini");
}

TEST(SettingsFileChoice, ReceiveFlagAndStartupFile)
{
    for (const char* r : {"r", "R", "-r", "-R"})
        EXPECT_TRUE(Choose({r}).receiveAtStart) << r;
    EXPECT_FALSE(Choose({"--r"}).receiveAtStart);

    const SettingsFileChoice choice = Choose({"a.nc", "R", "ini5", "/home/cnc/B.NC"});
    EXPECT_TRUE(choice.receiveAtStart);
    EXPECT_EQ(choice.startupFile, "/home/cnc/B.NC");
    EXPECT_EQ(choice.settingsFilePath, "/opt/NC/maroka_5.ini");

    // A path that happens to contain "ini" names a file, not an instance.
    const SettingsFileChoice path = Choose({"/home/cnc/machining/o100.nc"});
    EXPECT_EQ(path.startupFile, "/home/cnc/machining/o100.nc");
    EXPECT_EQ(path.settingsFilePath, "/opt/NC/maroka0.ini");
    EXPECT_EQ(Choose({"ini../../etc/x"}).settingsFilePath, "/opt/NC/maroka0.ini");
    // A file manager passes the full path; "ini" inside the file's own name
    // does not make it an instance either.
    const SettingsFileChoice finish = Choose({"/home/cnc/finish.nc"});
    EXPECT_EQ(finish.startupFile, "/home/cnc/finish.nc");
    EXPECT_EQ(finish.settingsFilePath, "/opt/NC/maroka0.ini");
}

TEST(SettingsFileChoice, TheFileLivesBesideTheProgramOnlyWhenItsFolderIsWritable)
{
    maroka::test::TempDir dir;
    const std::string program = (dir / "Maroka").string();
    const ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").c_str());
    EXPECT_EQ(ChooseSettingsFile(program, {}).settingsFilePath, (dir / "maroka0.ini").string());
    EXPECT_EQ(SettingsFileLabel((dir / "maroka_2.ini").string()), "maroka_2.ini");

    // A folder the program may not write to (here: one that is gone, as
    // root may write anywhere else) sends the file to the configuration
    // folder, which is created.
    const std::string elsewhere = (dir / "gone/maroka").string();
    const SettingsFileChoice choice = ChooseSettingsFile(elsewhere, std::vector<std::string>{"ini4"});
    EXPECT_EQ(choice.settingsFilePath, (dir / "config/maroka/maroka_4.ini").string());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "config/maroka"));

    const ScopedEnv relative("XDG_CONFIG_HOME", "relative/path");
    const ScopedEnv home("HOME", dir.Path().c_str());
    EXPECT_EQ(ConfigSettingsFolder(), (dir / ".config/maroka").string());
}
