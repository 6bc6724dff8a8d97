#include "gui/DataFont.h"

#include <QFontDatabase>

namespace maroka::gui {

QFont DataFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const char* family : {"Noto Sans Mono CJK JP", "IPAGothic", "VL Gothic", "Takao Gothic"}) {
        const QString name = QString::fromLatin1(family);
        if (QFontDatabase::hasFamily(name)) {
            font.setFamily(name);
            break;
        }
    }
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

} // namespace maroka::gui
