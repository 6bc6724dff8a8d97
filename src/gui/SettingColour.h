#pragma once

// Colour values as the settings file stores them: a colour name of the old
// toolkit ("clWindow", "clRed", ...), "$00BBGGRR", or the same number in
// decimal. System colours ("clWindow", "clBtnFace", ...) follow the current
// palette, so a default setting looks native in any theme.

#include <QColor>
#include <QPalette>

#include <optional>
#include <string_view>

namespace maroka::gui {

// nullopt when the value names no colour; the caller keeps its default.
std::optional<QColor> SettingColour(std::string_view value, const QPalette& palette);

} // namespace maroka::gui
