#pragma once

// Filter texts as the settings store them, "label|pattern|label|pattern" with
// the patterns of one entry separated by ";", turned into the name filters a
// QFileDialog shows, and the extension a chosen filter stands for.

#include <QString>
#include <QStringList>

#include <string_view>

namespace maroka::gui {

// "NC(*.nc)|*.nc;*.NC|すべてのファイル(*.*)|*;*.*" ->
// {"NC(*.nc) (*.nc *.NC)", "すべてのファイル(*.*) (* *.*)"}.
// An entry without a pattern is left out, and so is one whose label or
// patterns an earlier entry already has; an empty text gives no filters.
QStringList NameFilters(std::string_view filter);

// The extension (without the dot) of the first pattern of a name filter made
// by NameFilters, or an empty text when that pattern stands for any name
// ("*", "*.*", "abc*").
QString FilterExtension(const QString& nameFilter);

// `fileName` with its extension replaced by `extension`, or given one when it
// has none. A name that is empty or ends in "." is returned unchanged.
QString WithExtension(const QString& fileName, const QString& extension);

} // namespace maroka::gui
