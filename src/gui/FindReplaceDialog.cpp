#include "gui/FindReplaceDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace maroka::gui {

FindReplaceDialog::FindReplaceDialog(QWidget* parent, bool replace) : QDialog(parent)
{
    setObjectName(replace ? QStringLiteral("ReplaceDialog") : QStringLiteral("FindDialog"));
    setWindowTitle(replace ? QStringLiteral("置換") : QStringLiteral("検索"));
    setModal(false);

    findEdit_ = new QLineEdit(this);
    findEdit_->setObjectName(QStringLiteral("FindEdit"));
    replaceEdit_ = new QLineEdit(this);
    replaceEdit_->setObjectName(QStringLiteral("ReplaceEdit"));
    caseCheck_ = new QCheckBox(QStringLiteral("大文字と小文字を区別する(&C)"), this);
    caseCheck_->setObjectName(QStringLiteral("MatchCaseCheckBox"));
    caseCheck_->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("検索する文字列(&N):"), findEdit_);
    if (replace) {
        form->addRow(QStringLiteral("置換後の文字列(&P):"), replaceEdit_);
    } else {
        replaceEdit_->hide();
    }

    auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
    auto* findNext = buttons->addButton(QStringLiteral("次を検索(&F)"), QDialogButtonBox::ActionRole);
    findNext->setObjectName(QStringLiteral("FindNextButton"));
    findNext->setDefault(true);
    connect(findNext, &QPushButton::clicked, this, &FindReplaceDialog::FindNextRequested);
    if (replace) {
        auto* one = buttons->addButton(QStringLiteral("置換して次に(&R)"), QDialogButtonBox::ActionRole);
        one->setObjectName(QStringLiteral("ReplaceButton"));
        connect(one, &QPushButton::clicked, this, &FindReplaceDialog::ReplaceRequested);
        auto* all = buttons->addButton(QStringLiteral("すべて置換(&A)"), QDialogButtonBox::ActionRole);
        all->setObjectName(QStringLiteral("ReplaceAllButton"));
        connect(all, &QPushButton::clicked, this, &FindReplaceDialog::ReplaceAllRequested);
    }
    auto* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("CloseButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* left = new QVBoxLayout;
    left->addLayout(form);
    left->addWidget(caseCheck_);
    left->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(buttons);
}

QString FindReplaceDialog::FindText() const
{
    return findEdit_->text();
}

QString FindReplaceDialog::ReplaceText() const
{
    return replaceEdit_->text();
}

bool FindReplaceDialog::CaseSensitive() const
{
    return caseCheck_->isChecked();
}

} // namespace maroka::gui
