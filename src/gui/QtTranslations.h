#pragma once

// Qt's own texts (the buttons of message boxes, the file dialogs, the folder
// chooser) in Japanese, like the rest of the window, whatever the system's
// language.

class QCoreApplication;

namespace maroka::gui {

// Loads Qt's Japanese translations into `app`. False when they are not
// installed (Debian: qt6-translations-l10n); Qt's English texts stay then.
bool InstallQtTranslations(QCoreApplication& app);

} // namespace maroka::gui
