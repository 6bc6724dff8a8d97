// Takes a picture of each page of the settings window for the user guide:
//   xvfb-run -a build/tests/settings_screenshots docs/images
// Runs the real window over a fake port in a temporary folder, so the
// pictures show the defaults of a fresh install.

#include "gui/MainSession.h"
#include "gui/QtTranslations.h"
#include "support/FakeSerialLine.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QTabWidget>
#include <QTest>

#include <iostream>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: settings_screenshots <folder>\n";
        return 2;
    }
    maroka::gui::InstallQtTranslations(app);
    if (QFontDatabase::hasFamily(QStringLiteral("Noto Sans CJK JP"))) {
        QFont font(QStringLiteral("Noto Sans CJK JP"));
        font.setPointSize(10);
        QApplication::setFont(font);
    }
    maroka::test::TempDir dir;
    maroka::session::SessionOptions options;
    options.programPath = (dir / "maroka").string();
    options.openLine = [](const std::string& port, std::string&) -> std::unique_ptr<maroka::serial::SerialLine> {
        return std::make_unique<maroka::test::FakeSerialLine>(port);
    };
    options.listPorts = [] { return std::vector<std::string>{"ttyUSB0"}; };
    maroka::gui::MainSession session(std::move(options));
    session.Show();
    QTest::qWait(200);
    maroka::gui::TSend_Set_Form& form = session.SettingsForm();
    session.OpenSettings();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::cerr << "the settings window did not show\n";
        return 1;
    }
    auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QTest::qWait(100);
        const QString path = out.filePath(QStringLiteral("settings-page%1.png").arg(i + 1));
        if (!form.grab().save(path)) {
            std::cerr << "cannot write " << path.toStdString() << "\n";
            return 1;
        }
    }
    return 0;
}
