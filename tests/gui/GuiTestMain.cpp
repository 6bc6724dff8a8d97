// One executable for all front-end tests: each test class runs in turn
// under the same QApplication; the exit code counts the failures.

#include "gui/GuiTests.h"
#include "gui/QtTranslations.h"

#include <QApplication>
#include <QTest>

#include <clocale>

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gui_tests"));
    // As the program starts: Qt's own buttons and dialogs in Japanese.
    maroka::gui::InstallQtTranslations(app);
    int failures = 0;
    failures += maroka::gui::test::RunMainFormTests(argc, argv);
    failures += maroka::gui::test::RunDialogsTests(argc, argv);
    failures += maroka::gui::test::RunGuiSendTests(argc, argv);
    failures += maroka::gui::test::RunSettingsFormTests(argc, argv);
    failures += maroka::gui::test::RunEditorFormTests(argc, argv);
    return failures;
}
