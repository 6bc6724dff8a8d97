#include "gui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace maroka::gui {

bool InstallQtTranslations(QCoreApplication& app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    bool loaded = false;
    // qtbase holds the dialogs and message boxes; "qt" is the umbrella
    // catalogue some installations ship instead.
    for (const char* catalogue : {"qtbase", "qt"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(japanese, QString::fromLatin1(catalogue), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            loaded = true;
            break;
        }
        delete translator;
    }
    return loaded;
}

} // namespace maroka::gui
