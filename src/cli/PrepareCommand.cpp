#include "cli/PrepareCommand.h"

#include "cli/PrepareOutput.h"
#include "cli/SettingsCommand.h"
#include "core/platform/TemporaryFile.h"
#include "core/prepare/BlockSettings.h"
#include "core/prepare/FeedForecast.h"
#include "core/prepare/FileLookup.h"
#include "core/prepare/SendFileBuilder.h"
#include "core/serial/LinePacer.h"
#include "core/settings/SettingsFile.h"
#include "core/transfer/LineSetup.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>

namespace maroka::cli {

namespace {

constexpr const char* kPrepareUsage =
    "usage: maroka-cli [global options] prepare [--mem|--dnc] [--output FILE] ENTRY...\n"
    "  --mem, --dnc    the send mode (default: the settings' MEM/DNC)\n"
    "  --output FILE   where the send data goes; - or none: standard output\n"
    "  ENTRY           a program file\n";

constexpr const char* kEstimateUsage =
    "usage: maroka-cli [global options] estimate [--mem|--dnc] [--line BAUD [--buffer BYTES]] ENTRY...\n"
    "  prints the estimated machining time; the last line is the total in minutes\n"
    "  --line BAUD      also says whether a line of BAUD (frame from the settings) keeps a DNC\n"
    "                   machine fed, and which rate would\n"
    "  --buffer BYTES   the control's buffer for --line (default 256)\n";

// Questions go to the terminal when there is a person at it; otherwise No.
class TerminalObserver : public prepare::BuildObserver {
public:
    explicit TerminalObserver(CliContext& ctx) : ctx_(ctx) {}

    bool AskYesNo(const std::string& question) override
    {
        ctx_.err << question << " [y/N] " << std::flush;
        if (!ctx_.interactive) {
            ctx_.err << "N\n";
            return false;
        }
        std::string answer;
        std::getline(ctx_.in, answer);
        return answer == "y" || answer == "Y" || answer == "yes";
    }

private:
    CliContext& ctx_;
};

struct Options {
    std::optional<std::string> mode;
    std::string output = "-";
    std::vector<std::string> entries;
    std::optional<std::uint32_t> lineBaud;
    std::size_t controlBuffer = prepare::FeedLine::kTypicalControlBuffer;
};

std::optional<unsigned long> PositiveNumber(const std::string& text)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long value = std::stoul(text);
    return value > 0 ? std::optional(value) : std::nullopt;
}

// 0 when parsed; else the exit code.
int Parse(CliContext& ctx, const std::vector<std::string>& args, bool withOutput, const char* name, const char* usage,
          Options& options)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            ctx.out << usage;
            return -1;
        }
        if (arg == "--mem" || arg == "--dnc") {
            options.mode = arg == "--mem" ? "MEM" : "DNC";
        } else if (withOutput && (arg == "--output" || arg == "-o")) {
            if (i + 1 >= args.size()) {
                ctx.err << name << ": " << arg << " needs a value\n" << usage;
                return kExitUsage;
            }
            options.output = args[++i];
        } else if (!withOutput && (arg == "--line" || arg == "--buffer")) {
            const auto value = i + 1 < args.size() ? PositiveNumber(args[i + 1]) : std::nullopt;
            if (!value) {
                ctx.err << name << ": " << arg << " needs a positive whole number\n" << usage;
                return kExitUsage;
            }
            ++i;
            if (arg == "--line")
                options.lineBaud = static_cast<std::uint32_t>(*value);
            else
                options.controlBuffer = *value;
        } else if (arg.starts_with("--")) {
            ctx.err << name << ": unknown option " << arg << "\n" << usage;
            return kExitUsage;
        } else {
            // A file is given by its full path, so that its subprograms are
            // found beside it. A mistyped name must not go out as an NC
            // block: literal lines belong in list files.
            if (!prepare::ResolveFile(arg)) {
                ctx.err << name << ": " << arg << ": no such file\n";
                return kExitFailure;
            }
            options.entries.push_back(std::filesystem::absolute(arg).string());
        }
    }
    if (options.entries.empty()) {
        ctx.err << name << ": nothing to prepare\n" << usage;
        return kExitUsage;
    }
    return 0;
}

bool LoadSettings(CliContext& ctx, settings::SessionSettings& s, settings::ListSettings& lists)
{
    const settings::SettingsFile file(ResolveSettingsPath(ctx));
    if (auto error = file.LoadSettings(s)) {
        ctx.err << error->Text() << "\n";
        return false;
    }
    if (auto error = file.LoadListSettings(lists)) {
        ctx.err << error->Text() << "\n";
        return false;
    }
    return true;
}

void PrintMessages(CliContext& ctx, const prepare::BuildResult& result)
{
    for (const auto& message : result.messages)
        ctx.err << message.text << "\n";
}

} // namespace

int RunPrepareCommand(CliContext& ctx, const std::vector<std::string>& args)
{
    Options options;
    if (const int rc = Parse(ctx, args, true, "prepare", kPrepareUsage, options); rc != 0)
        return rc < 0 ? kExitOk : rc;
    settings::SessionSettings s;
    settings::ListSettings lists;
    if (!LoadSettings(ctx, s, lists))
        return kExitFailure;
    const prepare::BlockSettings block = prepare::MakeBlockSettings(s, lists, options.mode.value_or(s.sendMode));

    PrepareOutput output(options.output, ctx.out);
    for (const std::string& entry : options.entries) {
        if (output.IsTarget(entry)) {
            ctx.err << "prepare: " << options.output << ": the output is one of the files read\n";
            return kExitFailure;
        }
    }
    std::string error;
    const std::string path = output.Begin(error);
    if (path.empty()) {
        ctx.err << "prepare: " << error << "\n";
        return kExitFailure;
    }
    TerminalObserver observer(ctx);
    prepare::SendFileBuilder builder;
    const prepare::BuildResult result = builder.Build(options.entries, block, path, observer);
    PrintMessages(ctx, result);
    if (!result.ok)
        return kExitFailure;
    if (!output.Commit(result.filesRead, error)) {
        ctx.err << "prepare: " << error << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

int RunEstimateCommand(CliContext& ctx, const std::vector<std::string>& args)
{
    Options options;
    if (const int rc = Parse(ctx, args, false, "estimate", kEstimateUsage, options); rc != 0)
        return rc < 0 ? kExitOk : rc;
    settings::SessionSettings s;
    settings::ListSettings lists;
    if (!LoadSettings(ctx, s, lists))
        return kExitFailure;
    s.showRemainingTime = true;
    const prepare::BlockSettings block = prepare::MakeBlockSettings(s, lists, options.mode.value_or(s.sendMode));

    // The feed forecast reads the program as it would be sent.
    std::optional<platform::TemporaryFile> sent;
    if (options.lineBaud) {
        sent = platform::TemporaryFile::Create("maroka-estimate");
        if (!sent) {
            ctx.err << "estimate: cannot create a temporary file\n";
            return kExitFailure;
        }
    }
    TerminalObserver observer(ctx);
    prepare::SendFileBuilder builder;
    const prepare::BuildResult result =
        builder.Build(options.entries, block, sent ? sent->Path() : "/dev/null", observer);
    PrintMessages(ctx, result);
    if (!result.ok)
        return kExitFailure;
    if (options.lineBaud) {
        std::ifstream program(sent->Path(), std::ios::binary);
        prepare::FeedLine line;
        line.baudRate = *options.lineBaud;
        LineBoxTexts boxes;
        boxes.baudRate = std::to_string(*options.lineBaud);
        boxes.stopBits = s.stopBits;
        boxes.code = s.code;
        boxes.dc3 = s.dc3Code;
        line.bitsPerCharacter = serial::BitsPerCharacter(transfer::LineOf(boxes));
        line.controlBuffer = options.controlBuffer;
        ctx.out << prepare::FeedForecastText(prepare::ForecastFeed(program, line)) << "\n";
    }

    const prepare::MachiningEstimate& e = builder.Estimate();
    const double total = e.Total();
    const long long wholeMinutes = static_cast<long long>(total);
    char text[256];
    std::snprintf(text, sizeof text,
                  "rapid length: %.3f\nfeed length: %.3f\nrapid time: %.6f min\nfeed time: %.6f min\n"
                  "machining time: %lld h %02lld min %02lld s\n%.6f\n",
                  e.RapidLength(), e.FeedLength(), e.RapidTime(), e.FeedTime(), wholeMinutes / 60, wholeMinutes % 60,
                  static_cast<long long>((total - static_cast<double>(wholeMinutes)) * 60), total);
    ctx.out << text;
    return kExitOk;
}

} // namespace maroka::cli
