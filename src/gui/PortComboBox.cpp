#include "gui/PortComboBox.h"

namespace maroka::gui {

PortComboBox::PortComboBox(QWidget* parent) : QComboBox(parent) {}

void PortComboBox::showPopup()
{
    // The handler refills the items; showing the list afterwards makes the
    // user see the fresh probe, not the old one.
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

} // namespace maroka::gui
