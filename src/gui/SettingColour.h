#pragma once

// A colour value of the settings file as a QColor. The value is read by the
// core's parser; a system colour ("clWindow", "clBtnFace", ...) takes the
// colour of the matching role of the current palette, so a default setting
// looks native in any theme.

#include <QColor>
#include <QPalette>

#include <optional>
#include <string_view>

namespace maroka::gui {

// nullopt when the value names no colour; the caller keeps its default.
std::optional<QColor> SettingColour(std::string_view value, const QPalette& palette);

} // namespace maroka::gui
