#pragma once

// The start-up question after the port of the settings could not be opened:
// start with another port, or not at all.

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace maroka::gui {

class TComSelectForm : public QDialog {
    Q_OBJECT

public:
    // `ports` are the usable ports; the first is offered in the box, the
    // others in its list. `programTitle` follows the caption.
    TComSelectForm(QWidget* mainWindow, const QString& failedPort, const std::vector<std::string>& ports,
                   const QString& programTitle);

    // Shows the dialog modally: the port in the box on はい, nullopt
    // on いいえ or Esc.
    std::optional<std::string> Ask();

    QString PortText() const;

private:
    QLabel* failedLabel_ = nullptr;
    QComboBox* portBox_ = nullptr;
};

} // namespace maroka::gui
