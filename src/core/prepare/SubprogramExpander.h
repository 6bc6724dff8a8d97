#pragma once

// Expands a call block "G65[NAME]arguments" in DNC mode: the named file's
// blocks, inline, once per repetition, each repetition under a label line,
// with the arguments put in place of their macro variables and the
// subprogram's own framing neutralised. Calls may nest, up to kMaxDepth.

#include "core/prepare/BuildContext.h"
#include "core/prepare/CallArguments.h"
#include "core/prepare/SubstituteVariable.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::prepare {

class SubprogramExpander {
public:
    static constexpr int kMaxDepth = 16;
    static constexpr int kMaxRepetitions = 9999;

    explicit SubprogramExpander(BuildContext& context) : context_(context) {}

    // Writes the expansion of `block` (CP932). False after adding a message.
    // `depth` is 1 for a call from a list file.
    bool Expand(const std::string& block, int depth = 1);

private:
    struct Call {
        CallArguments arguments;
        std::string nameText; // as written in the call, UTF-8, for messages
    };

    // A block after the steps that depend on nothing but the block and the
    // settings; the steps that depend on the call's arguments follow for
    // each expansion.
    struct PreparedBlock {
        std::string text;
        bool dropped = false;                // framing, block skip, an end code or an ignored code
        bool labelPercent = false;           // a program number, with "%" at each label
        bool callIndependent = false;        // no call changes it: finished once
        std::optional<std::string> finished; // a call-independent block as the first call left it
    };
    PreparedBlock Prepare(std::string block) const;

    // The steps of Prepare, in their order.
    // False for the subprogram's own "%" lines and a skipped block; "%"
    // comments are made here, and a program number may ask for a label "%".
    bool KeepsFraming(std::string& block, bool& labelPercent) const;
    void ApplyTextSettings(std::string& block) const;
    // True for a block that ends the subprogram: sent, it would end the
    // main program.
    static bool EndsSubprogram(std::string_view block);
    static void RemoveEndCodes(std::string& block);
    static bool SameForEveryCall(std::string_view block);

    // A subprogram's blocks as read and prepared once in this build: a call
    // repeated thousands of times must not reopen, reread and rework its
    // file each time.
    struct ReadFile {
        std::vector<PreparedBlock> blocks;
        std::vector<std::uint64_t> positions; // the file offset after each block
        std::uint64_t size = 0;
    };
    // The file's blocks, read on the first call; nullptr after adding a message.
    ReadFile* Read(const std::string& path, const std::string& displayPath);

    // The steps a call's arguments and state take part in.
    enum class Finish {
        Kept,
        Dropped,
        Failed, // a message was added
    };
    // The block as this call sends it: reused when no call changes it.
    Finish FinishedBlock(PreparedBlock& prepared, std::string& block, Call& call);
    Finish FinishForCall(std::string& block, Call& call);

    // The steps of FinishForCall, in their order. Those that return a bool
    // have added a message when they return false.
    static void PlaceReplacementCode(std::string& block, CallArguments& arguments);
    static void CommentProgramNumber(std::string& block);
    bool PassesComments(std::string& block);
    static void SubstituteArguments(std::string& block, const CallArguments& arguments);
    bool PassesDncCheck(std::string& block);
    // Dropped for a block that starts with an ignored code; the code is
    // taken out of any other block.
    Finish DropOrRemoveIgnoredCodes(std::string& block) const;

    // Finishes a prepared block for one call into `block`. True when the
    // block was handled (written or dropped); false on failure.
    bool ProcessBlock(PreparedBlock& prepared, std::string& block, Call& call, int depth);
    // A nested call is expanded in place; any other block is estimated and
    // written.
    bool ExpandOrWrite(std::string& block, int depth);

    BuildContext& context_;
    std::map<std::string, std::optional<std::string>> resolved_; // call path -> file
    std::map<std::string, ReadFile> files_;                      // file -> its blocks
};

} // namespace maroka::prepare
