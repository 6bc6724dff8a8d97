#pragma once

// The port selector: the port list is probed afresh every time the user opens
// it, so the box says so before the list appears.

#include <QComboBox>

namespace maroka::gui {

class PortComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit PortComboBox(QWidget* parent = nullptr);

    void showPopup() override;

signals:
    void aboutToShowPopup();
};

} // namespace maroka::gui
