#pragma once

// The settings window: five pages of controls, each bound to its setting.
// It is modeless; showing fills it from the session, and closing it by its
// button, by Esc or by the close box hands every control back. The rules
// it follows (what is enabled, which options exclude each other, which edits
// make the prepared send data stale) are the core's; this class only
// carries them out on widgets.

#include "core/session/Session.h"
#include "core/settings/DialogRules.h"
#include "gui/SettingBindings.h"

#include <QDialog>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace maroka::gui {

class ConversionGrid;

class TSend_Set_Form final : public QDialog {
    Q_OBJECT

public:
    TSend_Set_Form(session::Session& session, QWidget* mainWindow);

    // Fills the controls and shows the window 5 pixels right of and below
    // the main window's corner, or raises it when it is already shown.
    void ShowDialog();

    // Copies every control into the settings, saves the lists and the mail
    // text; what closing does, and what the mail test does before sending.
    void ApplyDialogSettings();

    // Recomputes which controls can be used.
    void UpdateDialogEnabling();

    void done(int result) override;

private:
    QWidget* BuildSendPage();
    QWidget* BuildConversionPage();
    QWidget* BuildReceivePage();
    QWidget* BuildServerPage();
    QWidget* BuildApplicationsPage();
    QGroupBox* BuildApplicationGroup(const char* caption, const char* name, session::ExternalKind kind,
                                     settings::FlagMember enabled, settings::TextMember path);
    QGroupBox* BuildMailGroup();
    QGroupBox* BuildColourGroup();

    // Controls bound to a setting.
    QCheckBox* Check(const char* name, const char* caption, settings::FlagMember member);
    QRadioButton* Radio(const char* name, const char* caption, settings::FlagMember member);
    QLineEdit* Edit(const char* name, settings::TextMember member, bool upperCase = false);
    QComboBox* Choice(const char* name, settings::TextMember member, const QStringList& items);
    QComboBox* PathBox(const char* name, settings::TextMember member);
    void Bind(QWidget* control, const settings::SettingKey& key);
    void ControlChanged(QWidget* control);

    void LoadControls();
    settings::ListSettings CollectLists() const;
    void Exclude(settings::ExclusiveOption checked, QCheckBox* other);
    bool Confirm(std::string_view question);
    void BrowseServerFolder();
    void BrowseApplication(session::ExternalKind kind);
    void PickColour(bool window);
    void ShowColourSamples();
    void AddIgnoreCode();
    void DeleteIgnoreCodes();
    void ClearIgnoreCodes();
    void ClearConversionPairs();
    void SendTestMail();

    session::Session& session_;
    QWidget* mainWindow_;
    SettingBindings bindings_;
    bool loading_ = false;

    QTabWidget* pages_ = nullptr;
    // Send page.
    QCheckBox* delayCheck_ = nullptr;
    QCheckBox* blockSkipCheck_ = nullptr;
    QCheckBox* commentCheck_ = nullptr;
    QCheckBox* ignoreStringsCheck_ = nullptr;
    QCheckBox* exitAfterSendCheck_ = nullptr;
    QCheckBox* resendCheck_ = nullptr;
    QCheckBox* ignoreCycleStartCheck_ = nullptr;
    QCheckBox* noConversionSendCheck_ = nullptr;
    QCheckBox* twoByteCheck_ = nullptr;
    QLineEdit* delayEdit_ = nullptr;
    QLineEdit* blockSkipEdit_ = nullptr;
    QLineEdit* commentEdit_ = nullptr;
    QLineEdit* ignoreStringsEdit_ = nullptr;
    QLineEdit* ignoreSeparatorEdit_ = nullptr;
    QLineEdit* exitAfterSendEdit_ = nullptr;
    QComboBox* sendEndOfBlock_ = nullptr;
    std::vector<QCheckBox*> percentChecks_;
    // Conversion page.
    QCheckBox* convertCheck_ = nullptr;
    QCheckBox* ignoreCodesCheck_ = nullptr;
    ConversionGrid* grid_ = nullptr;
    QPushButton* clearPairsButton_ = nullptr;
    QListWidget* ignoreCodeList_ = nullptr;
    QLineEdit* ignoreCodeEdit_ = nullptr;
    std::vector<QPushButton*> ignoreCodeButtons_;
    // Receive page.
    QRadioButton* dc2Radio_ = nullptr;
    QRadioButton* dc4Radio_ = nullptr;
    QRadioButton* dc1Radio_ = nullptr;
    QRadioButton* dc3Radio_ = nullptr;
    QCheckBox* exitAfterReceiveCheck_ = nullptr;
    QLineEdit* exitAfterReceiveEdit_ = nullptr;
    QCheckBox* noConversionReceiveCheck_ = nullptr;
    std::vector<QWidget*> receiveConversionControls_;
    QCheckBox* commLogCheck_ = nullptr;
    QLineEdit* logSizeEdit_ = nullptr;
    QGroupBox* colourGroup_ = nullptr;
    QPushButton* windowColourButton_ = nullptr;
    QPushButton* textColourButton_ = nullptr;
    // Server and applications.
    QComboBox* serverFolderBox_ = nullptr;
    QComboBox* editorBox_ = nullptr;
    QComboBox* viewerBox_ = nullptr;
    QComboBox* otherAppBox_ = nullptr;
    QCheckBox* editorCheck_ = nullptr;
    QCheckBox* viewerCheck_ = nullptr;
    QCheckBox* otherAppCheck_ = nullptr;
    QPlainTextEdit* mailMessage_ = nullptr;
};

} // namespace maroka::gui
