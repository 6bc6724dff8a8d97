#include "core/settings/SettingsFile.h"

#include "core/settings/ColourValue.h"
#include "core/settings/ProfileFile.h"
#include "core/settings/ProfileLock.h"
#include "core/settings/SettingValue.h"
#include "core/settings/SettingsMessages.h"

#include <algorithm>

namespace maroka::settings {

namespace {

using S = SessionSettings;

template <typename Member> bool Is(const SettingKey& entry, Member member)
{
    const auto* candidate = std::get_if<Member>(&entry.member);
    return candidate != nullptr && *candidate == member;
}

SettingsError ReadError(const std::string& path, std::string detail)
{
    return {SettingsErrorKind::Read, msg::FormatMessage(msg::kCannotReadMessage, path), std::move(detail)};
}

SettingsError WriteError(const std::string& path, const ProfileStatus& status)
{
    const SettingsErrorKind kind =
        status.kind == ProfileErrorKind::Text ? SettingsErrorKind::Value : SettingsErrorKind::Write;
    return {kind, msg::FormatMessage(msg::kCannotWriteMessage, path), status.detail};
}

// The writes of one operation: they stop at the first key that fails, and
// then nothing is committed. The batch holds the file's lock from its load to
// its commit, so two writers never lose each other's changes.
//
// A value that reads back as it would be written is left as the file has
// it: a value the file holds in a form we cannot write back byte for byte
// (bytes that are no CP932, a value longer than a read returns) then stays
// intact unless someone changed it on purpose.
class WriteBatch {
public:
    explicit WriteBatch(const std::string& path) : lock_(path), file_(path)
    {
        const ProfileStatus status = file_.Load();
        if (!status.Ok())
            error_ = WriteError(path, status);
    }

    void Write(std::string_view key, std::string_view value)
    {
        if (error_ || file_.Read(kSettingsSection, key) == value)
            return;
        const ProfileStatus status = file_.Write(kSettingsSection, key, value);
        if (!status.Ok())
            error_ = WriteError(file_.Path(), status);
    }

    void Delete(std::string_view key)
    {
        if (!error_)
            file_.Delete(kSettingsSection, key);
    }

    std::optional<SettingsError> Commit()
    {
        if (error_)
            return error_;
        const ProfileStatus status = file_.Commit();
        if (!status.Ok())
            return WriteError(file_.Path(), status);
        return std::nullopt;
    }

private:
    ProfileLock lock_;
    ProfileFile file_;
    std::optional<SettingsError> error_;
};

std::string Numbered(std::string_view key, int n)
{
    return std::string(key) + std::to_string(n);
}

void LoadList(const ProfileFile& file, std::string_view key, int count, std::vector<std::string>& list)
{
    list.clear();
    for (int n = 0; n < count; ++n) {
        auto value = file.Read(kSettingsSection, Numbered(key, n));
        if (value && !value->empty())
            list.push_back(*std::move(value));
    }
}

void SaveList(WriteBatch& batch, std::string_view key, int count, const std::vector<std::string>& list)
{
    const int saved = std::min(count, static_cast<int>(list.size()));
    for (int n = 0; n < count; ++n) {
        const std::string numbered = Numbered(key, n);
        if (n < saved && !list[static_cast<std::size_t>(n)].empty())
            batch.Write(numbered, list[static_cast<std::size_t>(n)]);
        else
            batch.Delete(numbered);
    }
}

struct HistoryList {
    TextMember keyMember;
    std::vector<std::string> ListSettings::*list;
};

constexpr HistoryList kHistories[] = {
    {&S::serverFolder, &ListSettings::folderHistory},
    {&S::otherApp, &ListSettings::otherAppHistory},
    {&S::viewer, &ListSettings::viewerHistory},
    {&S::editor, &ListSettings::editorHistory},
};

std::string ValidColour(std::optional<std::string> value, std::string_view fallback)
{
    if (value && IsValidColourValue(*value))
        return *std::move(value);
    return std::string(fallback);
}

} // namespace

std::string WindowColourKey(std::string_view port)
{
    return std::string(port) + std::string(kWindowColourWord);
}

std::string TextColourKey(std::string_view port)
{
    return std::string(port) + std::string(kTextColourWord);
}

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

std::optional<SettingsError> SettingsFile::LoadSettings(SessionSettings& settings, bool* readAsUtf8) const
{
    ProfileFile file(path_);
    const ProfileStatus status = file.Load();
    if (readAsUtf8 != nullptr)
        *readAsUtf8 = status.Ok() && file.Encoding() == ProfileEncoding::Utf8;
    for (const SettingKey& key : SettingKeys()) {
        const auto text = file.Read(kSettingsSection, key.key);
        if (!text || !AssignSettingValue(key, *text, settings))
            ResetSettingValue(key, settings);
    }
    if (!status.Ok())
        return ReadError(path_, status.detail);
    return std::nullopt;
}

std::optional<SettingsError> SettingsFile::SaveSettings(const SessionSettings& settings) const
{
    return SaveSettings(settings, settings.startupPort);
}

std::optional<SettingsError> SettingsFile::SaveSettings(const SessionSettings& settings,
                                                        std::string_view colourPort) const
{
    WriteBatch batch(path_);
    auto write = [&](const SettingKey& key) { batch.Write(key.key, FormatSettingValue(key, settings)); };

    const SettingKey* first[] = {
        &KeyOf(&S::left), &KeyOf(&S::top), &KeyOf(&S::width), &KeyOf(&S::height), &KeyOf(&S::startupPort),
    };
    for (const SettingKey* key : first)
        write(*key);
    for (const SettingKey& key : SettingKeys()) {
        if (std::find(std::begin(first), std::end(first), &key) != std::end(first))
            continue;
        write(key);
        if (Is(key, &S::convertGarbledCharacters)) {
            batch.Write(WindowColourKey(colourPort), settings.windowColour);
            batch.Write(TextColourKey(colourPort), settings.textColour);
        } else if (Is(key, &S::mailCommand)) {
            batch.Write(kServerFolderCopyKey, settings.serverFolder);
        }
    }
    return batch.Commit();
}

std::optional<SettingsError> SettingsFile::LoadPortColours(std::string_view port, SessionSettings& settings) const
{
    ProfileFile file(path_);
    const ProfileStatus status = file.Load();
    settings.windowColour = ValidColour(file.Read(kSettingsSection, WindowColourKey(port)), kDefaultWindowColour);
    settings.textColour = ValidColour(file.Read(kSettingsSection, TextColourKey(port)), kDefaultTextColour);
    if (!status.Ok())
        return ReadError(path_, status.detail);
    return std::nullopt;
}

std::optional<SettingsError> SettingsFile::SavePortColours(std::string_view port, const SessionSettings& settings) const
{
    WriteBatch batch(path_);
    batch.Write(WindowColourKey(port), settings.windowColour);
    batch.Write(TextColourKey(port), settings.textColour);
    return batch.Commit();
}

std::optional<SettingsError> SettingsFile::LoadListSettings(ListSettings& lists) const
{
    ProfileFile file(path_);
    const ProfileStatus status = file.Load();
    for (int n = 1; n <= kConversionPairCount; ++n) {
        ConversionPair& pair = lists.conversionPairs[static_cast<std::size_t>(n - 1)];
        pair.oldText = file.Read(kSettingsSection, Numbered(kOldTextKey, n)).value_or(std::string());
        pair.newText = file.Read(kSettingsSection, Numbered(kNewTextKey, n)).value_or(std::string());
    }
    LoadList(file, KeyOf(&S::subprogramIgnoreCodesEnabled).key, kIgnoreCodeCount, lists.subprogramIgnoreCodes);
    for (const HistoryList& history : kHistories)
        LoadList(file, KeyOf(history.keyMember).key, kHistoryCount, lists.*history.list);
    if (!status.Ok())
        return ReadError(path_, status.detail);
    return std::nullopt;
}

std::optional<SettingsError> SettingsFile::SaveListSettings(const ListSettings& lists) const
{
    WriteBatch batch(path_);
    for (int n = 1; n <= kConversionPairCount; ++n) {
        const ConversionPair& pair = lists.conversionPairs[static_cast<std::size_t>(n - 1)];
        if (pair.oldText.empty()) {
            batch.Delete(Numbered(kOldTextKey, n));
            batch.Delete(Numbered(kNewTextKey, n));
        } else {
            batch.Write(Numbered(kOldTextKey, n), pair.oldText);
            batch.Write(Numbered(kNewTextKey, n), pair.newText);
        }
    }
    SaveList(batch, KeyOf(&S::subprogramIgnoreCodesEnabled).key, kIgnoreCodeCount, lists.subprogramIgnoreCodes);
    for (const HistoryList& history : kHistories)
        SaveList(batch, KeyOf(history.keyMember).key, kHistoryCount, lists.*history.list);
    return batch.Commit();
}

std::optional<SettingsError> SettingsFile::SaveSetting(const SettingKey& key, const SessionSettings& settings) const
{
    WriteBatch batch(path_);
    batch.Write(key.key, FormatSettingValue(key, settings));
    return batch.Commit();
}

} // namespace maroka::settings
