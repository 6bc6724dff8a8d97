#pragma once

// A scratch file for targets whose input arrives through a file: one per
// fuzzing process, rewritten for every input.

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace maroka::fuzz {

// In memory where there is such a place: a target writes its files once
// per input, and a disk's journal would then take most of the time.
inline const std::string& ScratchFolder()
{
    static const std::string folder = [] {
        char inMemory[] = "/dev/shm/maroka-fuzz-XXXXXX";
        char onDisk[] = "/tmp/maroka-fuzz-XXXXXX";
        const char* made = mkdtemp(inMemory);
        if (made == nullptr)
            made = mkdtemp(onDisk);
        if (made == nullptr)
            std::abort();
        return std::string(made);
    }();
    return folder;
}

inline std::string WriteScratch(std::string_view name, std::string_view bytes)
{
    const std::string path = ScratchFolder() + "/" + std::string(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

} // namespace maroka::fuzz
