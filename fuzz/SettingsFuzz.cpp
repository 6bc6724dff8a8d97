// The settings file parser on random file contents: every key is read, a
// value is changed and the file written back; reading the written file must
// give the value that was written.

#include "FuzzFile.h"

#include "core/settings/ProfileFile.h"
#include "core/settings/SettingsFile.h"

#include <cstdint>
#include <cstdlib>

using namespace maroka;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = fuzz::WriteScratch("maroka0.ini", {reinterpret_cast<const char*>(data), size});
    settings::SessionSettings values;
    (void)settings::SettingsFile(path).LoadSettings(values);
    settings::ListSettings lists;
    (void)settings::SettingsFile(path).LoadListSettings(lists);

    settings::ProfileFile file(path);
    if (!file.Load().Ok())
        return 0;
    if (!file.Write(settings::kSettingsSection, "LEFT", "123").Ok())
        std::abort();
    const std::string bytes = file.Serialise();
    const std::string reread = fuzz::WriteScratch("reread.ini", bytes);
    if (settings::ProfileFile::ReadValue(reread, settings::kSettingsSection, "left") != "123")
        std::abort();
    return 0;
}
