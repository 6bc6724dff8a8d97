#pragma once

// Turns the send file list into the prepared send file: the bytes that go
// down the line, framed with "%", every block through the conversions of the
// settings in a fixed order, subprogram calls expanded in DNC mode, and the
// machining time estimated on the way. One block at a time is held,
// whatever the size of the files.
//
// The builder lives as long as the main window: it remembers what its last
// prepared file was built from, and an unchanged selection is not built again.

#include "core/prepare/BlockSettings.h"
#include "core/prepare/BlockWriter.h"
#include "core/prepare/BuildObserver.h"
#include "core/prepare/BuildStamp.h"
#include "core/prepare/LabelList.h"
#include "core/prepare/MachiningEstimate.h"
#include "core/prepare/PrepareMessage.h"
#include "core/settings/SessionSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace maroka::prepare {

struct BuildContext;
class ProgressThrottle;
class SubprogramExpander;

struct BuildResult {
    bool ok = false;
    bool reused = false;                  // the prepared file was up to date and left alone
    std::vector<PrepareMessage> messages; // to show, in order
    std::vector<std::string> filesRead;   // every program file read, subprograms included
};

struct PrepareRequest {
    const std::vector<std::string>* sendFiles = nullptr; // the main window's list; nullptr when it has none
    const settings::SessionSettings* settings = nullptr;
    const settings::ListSettings* lists = nullptr; // freshly loaded list settings
    std::string sendMode;                          // the text of the MEM/DNC selector
    std::string preparedPath;                      // the work file "SENDFILE." + port
};

struct PrepareResult {
    bool ok = false;
    std::string sendFilePath;       // the new SendFilePath: the prepared file, empty after a failure
    std::optional<bool> dncMode;    // the new DncMode, when the build got that far
    std::optional<double> estimate; // a fresh estimate total (minutes) for the main window
    bool reused = false;
    bool discardSelection = false; // after a failure: the caller discards the send selection
    std::vector<PrepareMessage> messages;
};

class SendFileBuilder {
public:
    SendFileBuilder() = default;
    SendFileBuilder(const SendFileBuilder&) = delete;
    SendFileBuilder& operator=(const SendFileBuilder&) = delete;

    // The main window's prepare step. On failure the partly written
    // prepared file is deleted.
    PrepareResult Prepare(const PrepareRequest& request, BuildObserver& observer);

    // The build into `outputPath`; entries are UTF-8 paths or literal lines.
    BuildResult Build(const std::vector<std::string>& entries, const BlockSettings& settings,
                      const std::string& outputPath, BuildObserver& observer);

    // A setting changed: the next build runs whatever the stamp says.
    void InvalidateStamp() { stamp_.Clear(); }

    const MachiningEstimate& Estimate() const { return estimate_; }

private:
    struct Entry {
        std::string text; // upper-cased and trimmed, UTF-8
        std::string file; // the file it names, empty for a literal line
    };

    bool WriteEntries(const std::vector<Entry>& entries, BuildContext& context, SubprogramExpander& expander);
    bool ReadProgramFile(const Entry& entry, const std::string& name, BuildContext& context,
                         SubprogramExpander& expander);
    bool ProcessBlock(std::string_view piece, std::string& block, BuildContext& context, SubprogramExpander& expander);
    // Writes the whole lines at the start of `ahead` (read from `position`
    // on) that no step would change, up to the first that may need one;
    // `used` tells how many bytes they took. False when a write failed.
    bool PassPlainLines(std::string_view ahead, std::uint64_t position, BuildContext& context,
                        ProgressThrottle& progress, std::size_t& used);
    bool ProcessChangingBlock(std::string& block, unsigned classes, BuildContext& context,
                              SubprogramExpander& expander);

    // What kinds of bytes a block holds, so that the steps that cannot
    // change it are passed over without searching it.
    enum ByteClass : unsigned char {
        kLower = 1,
        kLead = 2,
        kParen = 4,
        kHash = 8,
        kBracket = 16,
        kCommentStart = 32,
    };
    unsigned Classify(std::string_view block) const;
    // False when Classify would find nothing; quicker than it on long blocks.
    bool MayChange(std::string_view block) const;

    unsigned char byteClasses_[256] = {};
    char commentByte_ = '(';
    // Apart from the members the build reads on every block: during a build
    // the estimate is written on a second thread.
    alignas(64) MachiningEstimate estimate_;
    alignas(64) LabelList labels_;
    BuildStamp stamp_;
};

} // namespace maroka::prepare
