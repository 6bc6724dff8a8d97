#pragma once

// The main window. It turns clicks, keys, drops and box edits into calls on
// its MainWindowCommands and shows what the session reports; it decides
// nothing itself.

#include "core/session/Session.h"
#include "core/ui/UserInterface.h"

#include <QColor>
#include <QMainWindow>

#include <array>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QToolButton;

namespace maroka::gui {

class MainWindowCommands;
class PortComboBox;

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Until attached, commands go nowhere; the window still shows.
    void Attach(MainWindowCommands* commands);

    // Displays; all on the UI thread.
    void ShowFileName(const QString& text);
    void ShowStatus(const QString& text);
    QString StatusText() const;
    void AppendDataLine(const QString& line);
    void ClearDataView();
    void ShowProgressBar(bool visible);
    void SetProgress(long long position, long long maximum);
    void ShowRemainingTime(bool visible, const QString& remaining, const QString& corrected);
    void SetTitles(const QString& applicationTitle, const QString& caption);
    QString ApplicationTitle() const { return applicationTitle_; }
    void ShowSettingsFileName(const QString& name);
    void ShowLineBoxes(const LineBoxTexts& boxes);
    void SetPortItems(const QStringList& items);
    void SetPortSelectorEnabled(bool enabled);
    void SetBusy(bool busy);
    bool Busy() const { return busy_; }
    void SetSendDataMenuEnabled(bool enabled);
    void SetReceivedFiles(const QStringList& paths);
    // An invalid colour puts the widget's default back.
    void ApplyColours(const QColor& window, const QColor& text);
    void ApplyGeometry(const WindowGeometry& geometry, bool centre);
    WindowGeometry CurrentGeometry() const;

    // Room for a readable stretch of NC data besides the controls.
    QSize sizeHint() const override;

    // Closes without the question the close box asks while a transfer runs
    // (the question was asked already, or the program itself closes).
    void CloseWithoutAsking();

    // True once the window has been closed; the session is then shut down.
    bool Closed() const { return closed_; }

signals:
    // 送信データ was enabled or disabled; the editor follows a disable.
    void SendDataMenuEnabledChanged(bool enabled);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildToolBar();
    void BuildMenus();
    void BuildPopupMenu();
    QWidget* BuildCentralWidget();
    // The parts of the central widget; each makes its widgets and leaves
    // their places in `central` to BuildCentralWidget.
    // The settings file name above the line boxes, the boxes and their labels.
    QGridLayout* BuildLineBoxes(QWidget* central);
    struct DataViewRows {
        QHBoxLayout* fileRow; // the current file's name
        QHBoxLayout* dataRow; // the data and the strip beside it
    };
    DataViewRows BuildDataView(QWidget* central);
    // The progress bar and the remaining-time panel under it.
    void BuildProgressDisplays(QWidget* central);
    QComboBox* AddLineBox(session::LineBox box, const char* objectName, const QStringList& items);
    bool HandleKey(int key);
    void ShowPopupMenu(const QPoint& globalPos);
    void Command(void (MainWindowCommands::*command)());

    MainWindowCommands* commands_ = nullptr;
    bool busy_ = false;
    bool closed_ = false;
    bool closeConfirmed_ = false;
    QString applicationTitle_;

    std::vector<QToolButton*> busyButtons_;
    std::vector<QAction*> busyActions_;
    std::vector<QComboBox*> lineBoxes_;

    PortComboBox* portBox_ = nullptr;
    QLabel* settingsFileLabel_ = nullptr;
    QLineEdit* fileNameEdit_ = nullptr;
    QPlainTextEdit* dataView_ = nullptr;
    QPlainTextEdit* strip_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QWidget* remainingPanel_ = nullptr;
    QLabel* remainingLabel_ = nullptr;
    QLabel* correctedLabel_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QMenu* sendDataMenu_ = nullptr;
    QMenu* receivedDataMenu_ = nullptr;
    QMenu* popupMenu_ = nullptr;
};

} // namespace maroka::gui
