// The window over the real session: start-up fills it from the settings
// file, and closing it (close box or Esc) stores the settings.

#include "core/text/Encoding.h"
#include "gui/GuiTests.h"
#include "gui/MainSession.h"
#include "support/FakeSerialLine.h"
#include "support/TempDir.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <memory>

namespace maroka::gui::test {

namespace {

session::SessionOptions OptionsIn(const maroka::test::TempDir& dir)
{
    session::SessionOptions options;
    options.programPath = (dir / "maroka").string();
    options.openLine = [](const std::string& port, std::string&) -> std::unique_ptr<serial::SerialLine> {
        return std::make_unique<maroka::test::FakeSerialLine>(port);
    };
    options.listPorts = [] { return std::vector<std::string>{"FAKE0", "FAKE1"}; };
    return options;
}

std::string SettingsFileIn(const maroka::test::TempDir& dir)
{
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        if (entry.path().extension() == ".ini") {
            return maroka::test::ReadFileBytes(entry.path());
        }
    }
    return {};
}

bool Contains(const std::string& cp932File, const char* utf8)
{
    return cp932File.find(*text::Utf8ToCp932(utf8)) != std::string::npos;
}

} // namespace

class SessionWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startUpFillsTheWindowFromTheSettings()
    {
        maroka::test::TempDir dir;
        maroka::test::WriteFileBytes(
            dir / "maroka0.ini",
            *text::Utf8ToCp932("[Maroka 設定]\nボーレート=4800\nCODE=ASC\nWIDTH=377\nHEIGHT=300\n"));
        MainSession session(OptionsIn(dir));
        TMainForm& form = session.Window();
        QCOMPARE(form.windowTitle(), QString::fromStdString(session.Core().VersionText()));
        QCOMPARE(form.windowTitle(), QStringLiteral(" Maroka ver 0.565"));
        QCOMPARE(form.findChild<QLabel*>("Label9")->text(), QStringLiteral("maroka0.ini"));
        QCOMPARE(form.findChild<QComboBox*>("ComboBox3")->currentText(), QStringLiteral("4800"));
        QCOMPARE(form.findChild<QComboBox*>("ComboBox5")->currentText(), QStringLiteral("ASC"));
        // The old default size is far too small for this layout.
        QVERIFY(form.width() >= form.sizeHint().width());
        QVERIFY(form.height() >= form.sizeHint().height());
    }

    void closingStoresTheSettings()
    {
        maroka::test::TempDir dir;
        {
            MainSession session(OptionsIn(dir));
            QVERIFY(session.Show());
            QVERIFY(QTest::qWaitForWindowExposed(&session.Window()));
            auto* baud = session.Window().findChild<QComboBox*>("ComboBox3");
            // First shown: the port list comes from the session's probe.
            QTRY_COMPARE(session.Window().findChild<QComboBox*>("ComboBox1")->count(), 2);
            baud->lineEdit()->selectAll();
            QTest::keyClicks(baud->lineEdit(), "19200");
            QCOMPARE(SettingsFileIn(dir), std::string());
            session.Window().close();
            QVERIFY(session.Window().Closed());
            const std::string saved = SettingsFileIn(dir);
            QVERIFY(Contains(saved, "ボーレート=19200"));
        }
    }

    void escapeClosesOnlyWhenTheUserSaysYes()
    {
        maroka::test::TempDir dir;
        MainSession session(OptionsIn(dir));
        QVERIFY(session.Show());
        TMainForm& form = session.Window();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QString question;
        WhenModalAppears<QMessageBox>([&](QMessageBox* box) {
            question = box->text();
            box->button(QMessageBox::No)->click();
        });
        QTest::keyClick(form.findChild<QComboBox*>("ComboBox2")->lineEdit(), Qt::Key_Escape);
        QCOMPARE(question, QStringLiteral("Maroka を終了します。\n\nよろしいですか？"));
        QVERIFY(form.isVisible());
        QCOMPARE(SettingsFileIn(dir), std::string());

        WhenModalAppears<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        QTest::keyClick(form.findChild<QComboBox*>("ComboBox2")->lineEdit(), Qt::Key_Escape);
        QVERIFY(form.Closed());
        QVERIFY(!form.isVisible());
        QVERIFY(Contains(SettingsFileIn(dir), "ボーレート=9600"));
    }
};

int RunSessionWindowTests(int argc, char** argv)
{
    SessionWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace maroka::gui::test

#include "SessionWindowTest.moc"
