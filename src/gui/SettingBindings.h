#pragma once

// The controls of the settings dialog and the keys they stand for. Each
// control shows its setting's text ("1"/"0" for a check box, the text for a
// box or a choice) and gives it back the same way, so filling and applying
// walk the key table rather than naming each setting twice.

#include "core/settings/DialogRules.h"
#include "core/settings/SessionSettings.h"

#include <QString>

#include <utility>
#include <vector>

class QWidget;

namespace maroka::gui {

class SettingBindings {
public:
    void Add(QWidget* control, const settings::SettingKey& key);

    // Sets every control from `settings` without reporting the changes.
    void Fill(const settings::SessionSettings& settings) const;
    std::vector<settings::SettingEdit> Read() const;

    // The key of `control`, or nullptr when it has none.
    const settings::SettingKey* KeyOf(const QWidget* control) const;

    // A control's value as its setting's text, and back.
    static QString Text(const QWidget* control);
    static void SetText(QWidget* control, const QString& text);

private:
    std::vector<std::pair<QWidget*, const settings::SettingKey*>> bindings_;
};

} // namespace maroka::gui
