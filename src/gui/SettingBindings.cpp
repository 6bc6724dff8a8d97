#include "gui/SettingBindings.h"

#include "core/settings/SettingValue.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

namespace maroka::gui {

void SettingBindings::Add(QWidget* control, const settings::SettingKey& key)
{
    bindings_.emplace_back(control, &key);
}

void SettingBindings::Fill(const settings::SessionSettings& settings) const
{
    for (const auto& [control, key] : bindings_) {
        const QSignalBlocker blocker(control);
        SetText(control, QString::fromStdString(settings::FormatSettingValue(*key, settings)));
    }
}

std::vector<settings::SettingEdit> SettingBindings::Read() const
{
    std::vector<settings::SettingEdit> edits;
    edits.reserve(bindings_.size());
    for (const auto& [control, key] : bindings_) {
        edits.push_back({key, Text(control).toStdString()});
    }
    return edits;
}

const settings::SettingKey* SettingBindings::KeyOf(const QWidget* control) const
{
    for (const auto& [bound, key] : bindings_) {
        if (bound == control) {
            return key;
        }
    }
    return nullptr;
}

QString SettingBindings::Text(const QWidget* control)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return button->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
        return edit->text();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
        return combo->currentText();
    }
    return {};
}

void SettingBindings::SetText(QWidget* control, const QString& text)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        // One of a pair of choices: an exclusive button refuses to be
        // unchecked, so the exclusion steps aside while it is; the caller
        // checks the other choice.
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(text != QLatin1String("0"));
        button->setAutoExclusive(exclusive);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text);
        edit->setCursorPosition(0);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        int index = combo->findText(text);
        if (index < 0 && !combo->isEditable()) {
            // A value the list does not offer (typed into the file by hand)
            // stays what it is rather than turning into the first choice.
            combo->addItem(text);
            index = combo->count() - 1;
        }
        if (index >= 0) {
            combo->setCurrentIndex(index);
        } else {
            combo->setEditText(text);
        }
    }
}

} // namespace maroka::gui
