#pragma once

// The editor's find and replace box: modeless, so the user can go on editing
// while it stays open. It only collects what to look for; the editor window
// searches its own text.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace maroka::gui {

class FindReplaceDialog : public QDialog {
    Q_OBJECT

public:
    // With `replace` false the replacement box and buttons are hidden.
    FindReplaceDialog(QWidget* parent, bool replace);

    QString FindText() const;
    QString ReplaceText() const;
    bool CaseSensitive() const;

signals:
    void FindNextRequested();
    void ReplaceRequested();
    void ReplaceAllRequested();

private:
    QLineEdit* findEdit_ = nullptr;
    QLineEdit* replaceEdit_ = nullptr;
    QCheckBox* caseCheck_ = nullptr;
};

} // namespace maroka::gui
