#include "gui/MainSession.h"
#include "gui/QtTranslations.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QIcon>

namespace {

// Every text of the window is Japanese; a default font without kana would
// leave the window full of boxes wherever fontconfig finds no fallback.
void UseJapaneseCapableFont(QApplication& app)
{
    const QFont current = app.font();
    if (QFontMetrics(current).inFont(QChar(u'送'))) {
        return;
    }
    for (const char* family : {"Noto Sans CJK JP", "Noto Sans JP", "IPAexGothic", "IPAGothic", "VL Gothic"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            QFont font(QString::fromLatin1(family));
            font.setPointSizeF(current.pointSizeF());
            app.setFont(font);
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Maroka"));
    QApplication::setApplicationVersion(QStringLiteral("0.565"));
    // The installed icon theme's picture, and the desktop entry it came from,
    // so the window shows the menu's icon; a build tree has neither.
    QApplication::setDesktopFileName(QStringLiteral("maroka"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("maroka")));
    UseJapaneseCapableFont(app);
    maroka::gui::InstallQtTranslations(app);

    maroka::session::SessionOptions options;
    options.programPath = QCoreApplication::applicationFilePath().toStdString();
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        options.arguments.push_back(arguments[i].toStdString());
    }

    maroka::gui::MainSession session(std::move(options));
    if (!session.Show()) {
        return 0;
    }
    return QApplication::exec();
}
