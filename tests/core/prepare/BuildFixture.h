#pragma once

// A temporary folder with program files, a builder, and what a build showed.

#include "core/prepare/BlockSettings.h"
#include "core/prepare/SendFileBuilder.h"
#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace maroka::prepare::test {

class RecordingObserver : public BuildObserver {
public:
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
    void ShowFileName(const std::string& text) override { fileNames.push_back(text); }
    bool AskYesNo(const std::string& question) override
    {
        questions.push_back(question);
        return answer;
    }

    bool answer = false;
    std::vector<std::string> statuses;
    std::vector<std::string> fileNames;
    std::vector<std::string> questions;
};

class BuildFixture {
protected:
    // Written with a time in the past, so the reuse check trusts it.
    std::string File(const std::string& name, const std::string& bytes)
    {
        const auto path = dir / name;
        maroka::test::WriteFileBytes(path, bytes);
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
        return path.string();
    }

    std::string OutputPath() const { return (dir / "SENDFILE.ttyS0").string(); }
    std::string Output() const { return maroka::test::ReadFileBytes(OutputPath()); }

    BuildResult BuildList(const std::vector<std::string>& entries)
    {
        return builder.Build(entries, settings, OutputPath(), observer);
    }

    // The output of a one-file build of `program`, "?" + message on failure.
    std::string Convert(const std::string& program)
    {
        const BuildResult result = BuildList({File("PROG.NC", program)});
        if (!result.ok)
            return "?" + (result.messages.empty() ? std::string() : result.messages.front().text);
        return Output();
    }

    maroka::test::TempDir dir;
    BlockSettings settings;
    SendFileBuilder builder;
    RecordingObserver observer;
};

} // namespace maroka::prepare::test
