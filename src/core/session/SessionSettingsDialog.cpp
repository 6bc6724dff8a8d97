#include "core/logs/WorkFilePath.h"
#include "core/session/SessionMessages.h"
#include "core/session/SessionState.h"
#include "core/settings/AtomicFile.h"
#include "core/settings/SettingValue.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SettingsMessages.h"
#include "core/text/Encoding.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace maroka::session {

namespace {

using S = settings::SessionSettings;

struct BrowseTarget {
    const char* title;
    std::string S::*folder;
};

BrowseTarget TargetOf(ExternalKind kind)
{
    switch (kind) {
    case ExternalKind::Viewer:
        return {msg::kViewerBrowseTitle, &S::viewerBrowseFolder};
    case ExternalKind::OtherApp:
        return {msg::kOtherAppBrowseTitle, &S::otherAppBrowseFolder};
    case ExternalKind::Editor:
        break;
    }
    return {msg::kEditorBrowseTitle, &S::editorBrowseFolder};
}

bool Exists(const std::string& path, bool folder)
{
    std::error_code ec;
    return !path.empty() && (folder ? std::filesystem::is_directory(path, ec) : std::filesystem::exists(path, ec));
}

} // namespace

settings::ListSettings Session::LoadListSettings()
{
    settings::ListSettings lists;
    if (const auto error = settings::SettingsFile(state_->settingsFilePath).LoadListSettings(lists))
        state_->ShowError(error->Text());
    return lists;
}

std::string Session::LoadMailBody()
{
    std::ifstream in(state_->WorkFile(logs::kMailFile), std::ios::binary);
    if (!in)
        return {};
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string text = text::Cp932ToUtf8Lossy(bytes);
    std::string lines;
    lines.reserve(text.size());
    for (const char c : text) {
        if (c != '\r')
            lines += c;
    }
    if (!lines.empty() && lines.back() == '\n')
        lines.pop_back();
    return lines;
}

void Session::ApplyDialogSettings(const std::vector<settings::SettingEdit>& edits, const settings::ListSettings& lists,
                                  const std::string& mailBody)
{
    State& s = *state_;
    for (const settings::SettingEdit& edit : edits) {
        // A number that is not one is judged where it is used; for the
        // integer members (none of them on the dialog) the old value stays.
        if (edit.key != nullptr)
            settings::AssignSettingValue(*edit.key, edit.text, s.settings);
    }
    if (const auto error = settings::SettingsFile(s.settingsFilePath).SaveListSettings(lists))
        s.ShowError(error->Text());

    const std::string bodyPath = s.WorkFile(logs::kMailFile);
    if (mailBody.empty()) {
        std::error_code ec;
        std::filesystem::remove(bodyPath, ec);
        return;
    }
    std::string bytes;
    std::size_t start = 0;
    while (start <= mailBody.size()) {
        std::size_t end = mailBody.find('\n', start);
        if (end == std::string::npos)
            end = mailBody.size();
        bytes += text::Utf8ToCp932Lossy(std::string_view(mailBody).substr(start, end - start));
        bytes += "\r\n";
        start = end + 1;
    }
    if (const auto error = settings::ReplaceFileAtomically(bodyPath, bytes))
        s.ShowError(settings::msg::FormatMessage(settings::msg::kCannotWriteMessage, bodyPath) + "\n" + *error);
}

void Session::DialogValueChanged(const settings::SettingKey& key, const std::string& text)
{
    if (settings::ChangeInvalidatesBuild(key, text, state_->settings))
        state_->builder.InvalidateStamp();
}

void Session::DialogConversionCellEdited()
{
    if (settings::ConversionCellInvalidatesBuild(state_->settings))
        state_->builder.InvalidateStamp();
}

void Session::DialogIgnoreCodesChanged()
{
    state_->builder.InvalidateStamp();
}

std::optional<std::string> Session::BrowseServerFolder(std::vector<std::string>& history)
{
    State& s = *state_;
    auto chosen = s.AskServerFolder();
    if (!chosen)
        return std::nullopt;
    s.settings.serverFolder = *chosen;
    settings::PutAtTopOfHistory(history, *chosen);
    return chosen;
}

std::optional<std::string> Session::BrowseApplication(ExternalKind kind, std::vector<std::string>& history)
{
    State& s = *state_;
    const BrowseTarget target = TargetOf(kind);
    FileDialogRequest request;
    request.title = std::string(target.title) + s.versionText;
    request.filter = settings::kDefaultFilter;
    const std::string& folder = s.settings.*target.folder;
    if (Exists(folder, true))
        request.folder = folder;
    request.preview = false;
    const auto result = s.ui.ChooseOpenFiles(request);
    if (!result || result->paths.empty() || !Exists(result->paths.front(), false))
        return std::nullopt;
    const std::string& chosen = result->paths.front();
    s.settings.*platform::ExternalKindTable(kind).program = chosen;
    s.settings.*target.folder = std::filesystem::path(chosen).parent_path().string();
    settings::PutAtTopOfHistory(history, chosen);
    return chosen;
}

void Session::SetPortColours(const std::string& windowColour, const std::string& textColour)
{
    State& s = *state_;
    s.settings.windowColour = windowColour;
    s.settings.textColour = textColour;
    s.ui.ApplyColours(windowColour, textColour);
}

} // namespace maroka::session
