#include "machine/lib/ProgramStore.h"

#include <fstream>

namespace maroka::machine {

std::filesystem::path SaveProgram(const std::filesystem::path& folder, const ReceivedProgram& program,
                                  std::string& error)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return {};
    }
    std::filesystem::path path;
    if (!program.number.empty()) {
        path = folder / (program.number + ".NC");
    } else {
        path = folder / "received.nc";
        for (int n = 2; std::filesystem::exists(path, ec); ++n)
            path = folder / ("received-" + std::to_string(n) + ".nc");
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(program.text.data(), static_cast<std::streamsize>(program.text.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path.string();
        return {};
    }
    return path;
}

} // namespace maroka::machine
