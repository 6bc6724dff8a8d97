#include "core/prepare/BuildStamp.h"

#include <sys/stat.h>
#include <time.h>

namespace maroka::prepare {

namespace {

constexpr std::int64_t kRacyNs = 1'000'000'000;

} // namespace

std::optional<FileStamp> BuildStamp::Take(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    FileStamp stamp;
    stamp.path = path;
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return stamp;
}

void BuildStamp::Record(const std::string& outputPath, const std::string& key, std::vector<std::string> entryFiles,
                        const std::vector<std::string>& filesRead)
{
    valid_ = false;
    const auto output = Take(outputPath);
    if (!output)
        return;
    output_ = *output;
    key_ = key;
    entryFiles_ = std::move(entryFiles);
    sources_.clear();
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t nowNs = static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    for (const auto& path : filesRead) {
        const auto source = Take(path);
        if (!source)
            return;
        // File times tick coarsely: an edit in the same tick as one made
        // just before the build would keep the time, so a file changed that
        // recently is not trusted to be unchanged next time.
        if (nowNs - source->modifiedNs < kRacyNs)
            return;
        sources_.push_back(*source);
    }
    valid_ = true;
}

bool BuildStamp::Matches(const std::string& outputPath, const std::string& key,
                         const std::vector<std::string>& entryFiles) const
{
    if (!valid_ || key != key_ || entryFiles != entryFiles_)
        return false;
    const auto output = Take(outputPath);
    if (!output || !(*output == output_))
        return false;
    for (const auto& source : sources_) {
        const auto now = Take(source.path);
        if (!now || !(*now == source))
            return false;
    }
    return true;
}

} // namespace maroka::prepare
