#pragma once

// The settings file of one program instance: the main section, the colours
// of each port and the numbered lists. Every call opens the file, does its
// reads or writes and closes it again; nothing is held open in between. A
// save rewrites the file once, atomically, so a save that fails (at any key)
// leaves the whole file as it was.

#include "core/settings/SessionSettings.h"
#include "core/settings/SettingsError.h"

#include <optional>
#include <string>
#include <string_view>

namespace maroka::settings {

inline constexpr std::string_view kSettingsSection = "Maroka 設定";
inline constexpr std::string_view kWindowColourWord = "窓色";
inline constexpr std::string_view kTextColourWord = "文字色";
inline constexpr std::string_view kOldTextKey = "旧文字列";
inline constexpr std::string_view kNewTextKey = "新文字列";
// Written beside the server folder for older readers; never read.
inline constexpr std::string_view kServerFolderCopyKey = "検索フォルダ";

// Port name + "窓色", port name + "文字色".
std::string WindowColourKey(std::string_view port);
std::string TextColourKey(std::string_view port);

class SettingsFile {
public:
    explicit SettingsFile(std::string path);

    const std::string& Path() const { return path_; }

    // Reads every key of the main section in table order. A missing key, or
    // an integer or flag that is not an integer, reads as its default; an
    // empty text reads as empty. A missing file is no error. When the file
    // cannot be read, or is neither CP932 nor UTF-8, every member gets its
    // default and the error is returned. `readAsUtf8`, when given, tells
    // whether the file was a UTF-8 one (the next save writes it as CP932).
    [[nodiscard]] std::optional<SettingsError> LoadSettings(SessionSettings& settings,
                                                            bool* readAsUtf8 = nullptr) const;

    // Writes LEFT, TOP, WIDTH, HEIGHT, 起動ポート, then the other keys in table
    // order, with the colours of `colourPort` after 化け文字変換 and 検索フォルダ
    // after メール送信命令. The caller puts the window's geometry and box texts
    // into `settings` first. The one-argument form takes the colours' port from
    // startupPort.
    [[nodiscard]] std::optional<SettingsError> SaveSettings(const SessionSettings& settings) const;
    [[nodiscard]] std::optional<SettingsError> SaveSettings(const SessionSettings& settings,
                                                            std::string_view colourPort) const;

    // The two colour keys of `port`. A missing value, or one that is not a
    // colour, reads as "clWindow" / "clWindowText".
    [[nodiscard]] std::optional<SettingsError> LoadPortColours(std::string_view port, SessionSettings& settings) const;
    [[nodiscard]] std::optional<SettingsError> SavePortColours(std::string_view port,
                                                               const SessionSettings& settings) const;

    // The numbered lists. Loading skips empty and missing positions. Saving
    // writes each non-empty entry under its position, deletes the key of an
    // empty entry and of every position beyond the list's end, and deletes
    // both keys of a conversion row whose old text is empty.
    [[nodiscard]] std::optional<SettingsError> LoadListSettings(ListSettings& lists) const;
    [[nodiscard]] std::optional<SettingsError> SaveListSettings(const ListSettings& lists) const;

    // Writes the one key from `settings`, as SaveSettings would.
    [[nodiscard]] std::optional<SettingsError> SaveSetting(const SettingKey& key,
                                                           const SessionSettings& settings) const;

private:
    std::string path_;
};

} // namespace maroka::settings
