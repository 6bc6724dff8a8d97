#include "cli/SettingsCommand.h"

#include "core/settings/ColourValue.h"
#include "core/settings/SettingValue.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SettingsFileChoice.h"

#include <optional>
#include <ostream>
#include <string_view>

namespace maroka::cli {

namespace {

using settings::SessionSettings;
using settings::SettingKey;
using settings::SettingsError;
using settings::SettingsErrorKind;
using settings::SettingsFile;

constexpr std::string_view kUsage =
    "usage: maroka-cli [--settings FILE | --ini SUFFIX] [--port NAME] settings COMMAND\n"
    "\n"
    "commands:\n"
    "  list              print every setting as KEY=VALUE (flags as 1 or 0),\n"
    "                    then the colours of the port (--port, else 起動ポート)\n"
    "  get KEY           print one value; a missing key prints its default\n"
    "  set KEY VALUE     store one value; integers and flags take a decimal integer\n"
    "  path              print the settings file in use\n"
    "\n"
    "Keys are the Japanese keys of the settings file, e.g. ボーレート or LEFT;\n"
    "ASCII letters match in any case. Colour keys are a port name followed by\n"
    "窓色 or 文字色, e.g. COM1窓色.\n";

struct ColourKey {
    std::string port;
    bool window = false; // else the text colour
};

bool EndsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::optional<ColourKey> ParseColourKey(std::string_view key)
{
    for (const bool window : {true, false}) {
        const std::string_view word = window ? settings::kWindowColourWord : settings::kTextColourWord;
        if (EndsWith(key, word) && key.size() > word.size())
            return ColourKey{std::string(key.substr(0, key.size() - word.size())), window};
    }
    return std::nullopt;
}

int Fail(CliContext& ctx, const SettingsError& error)
{
    ctx.err << error.Text() << '\n';
    return error.kind == SettingsErrorKind::Value ? kExitUsage : kExitFailure;
}

int Usage(CliContext& ctx, std::string_view problem)
{
    ctx.err << "maroka-cli settings: " << problem << "\n\n" << kUsage;
    return kExitUsage;
}

int List(CliContext& ctx, const SettingsFile& file)
{
    SessionSettings values;
    if (const auto error = file.LoadSettings(values))
        return Fail(ctx, *error);
    for (const SettingKey& key : settings::SettingKeys())
        ctx.out << key.key << '=' << settings::FormatSettingValue(key, values) << '\n';
    const std::string port = ctx.options.port.value_or(values.startupPort);
    if (const auto error = file.LoadPortColours(port, values))
        return Fail(ctx, *error);
    ctx.out << settings::WindowColourKey(port) << '=' << values.windowColour << '\n';
    ctx.out << settings::TextColourKey(port) << '=' << values.textColour << '\n';
    return kExitOk;
}

int Get(CliContext& ctx, const SettingsFile& file, const std::string& name)
{
    SessionSettings values;
    if (const SettingKey* key = settings::FindSettingKey(name)) {
        if (const auto error = file.LoadSettings(values))
            return Fail(ctx, *error);
        ctx.out << settings::FormatSettingValue(*key, values) << '\n';
        return kExitOk;
    }
    if (const auto colour = ParseColourKey(name)) {
        if (const auto error = file.LoadPortColours(colour->port, values))
            return Fail(ctx, *error);
        ctx.out << (colour->window ? values.windowColour : values.textColour) << '\n';
        return kExitOk;
    }
    ctx.err << "maroka-cli settings: unknown key: " << name << '\n';
    return kExitUsage;
}

int Set(CliContext& ctx, const SettingsFile& file, const std::string& name, const std::string& value)
{
    SessionSettings values;
    if (const SettingKey* key = settings::FindSettingKey(name)) {
        if (!settings::AssignSettingValue(*key, value, values)) {
            ctx.err << "maroka-cli settings: " << key->key << " takes a decimal integer, not \"" << value << "\"\n";
            return kExitUsage;
        }
        if (const auto error = file.SaveSetting(*key, values))
            return Fail(ctx, *error);
        return kExitOk;
    }
    if (const auto colour = ParseColourKey(name)) {
        if (!settings::IsValidColourValue(value)) {
            ctx.err << "maroka-cli settings: \"" << value
                    << "\" is not a colour: use a name such as clWindow or clRed, or $00BBGGRR\n";
            return kExitUsage;
        }
        // The port's other colour is written back as it reads.
        if (const auto error = file.LoadPortColours(colour->port, values))
            return Fail(ctx, *error);
        (colour->window ? values.windowColour : values.textColour) = value;
        if (const auto error = file.SavePortColours(colour->port, values))
            return Fail(ctx, *error);
        return kExitOk;
    }
    ctx.err << "maroka-cli settings: unknown key: " << name << '\n';
    return kExitUsage;
}

} // namespace

std::string ResolveSettingsPath(const CliContext& ctx)
{
    if (ctx.options.settingsFile)
        return *ctx.options.settingsFile;
    std::string programPath = ctx.programPath;
    constexpr std::string_view kCliSuffix = "-cli";
    if (EndsWith(programPath, kCliSuffix))
        programPath.resize(programPath.size() - kCliSuffix.size());
    std::vector<std::string> arguments;
    if (ctx.options.iniSuffix)
        arguments.push_back("ini" + *ctx.options.iniSuffix);
    return settings::ChooseSettingsFile(programPath, arguments).settingsFilePath;
}

int RunSettingsCommand(CliContext& ctx, const std::vector<std::string>& args)
{
    if (args.empty())
        return Usage(ctx, "a command is missing");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        ctx.out << kUsage;
        return kExitOk;
    }
    if (ctx.options.iniSuffix && ctx.options.iniSuffix->find('/') != std::string::npos)
        return Usage(ctx, "--ini takes a suffix, not a path: " + *ctx.options.iniSuffix);

    const SettingsFile file(ResolveSettingsPath(ctx));
    if (command == "list" && args.size() == 1)
        return List(ctx, file);
    if (command == "get" && args.size() == 2)
        return Get(ctx, file, args[1]);
    if (command == "set" && args.size() == 3)
        return Set(ctx, file, args[1], args[2]);
    if (command == "path" && args.size() == 1) {
        ctx.out << file.Path() << '\n';
        return kExitOk;
    }
    if (command == "list" || command == "get" || command == "set" || command == "path")
        return Usage(ctx, "wrong number of arguments for " + command);
    return Usage(ctx, "unknown command: " + command);
}

} // namespace maroka::cli
