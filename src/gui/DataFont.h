#pragma once

// The font for NC data (the data view, the file preview): fixed pitch, and
// with Japanese glyphs, since comments in programs are often Japanese and a
// fallback font for them breaks the columns.

#include <QFont>

namespace maroka::gui {

QFont DataFont();

} // namespace maroka::gui
