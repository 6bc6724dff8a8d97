#include "gui/TComSelectForm.h"

#include "core/serial/SerialMessages.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace maroka::gui {

TComSelectForm::TComSelectForm(QWidget* mainWindow, const QString& failedPort, const std::vector<std::string>& ports,
                               const QString& programTitle)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("TComSelectForm"));
    setWindowTitle(QStringLiteral(" 起動ポートの選択") + programTitle);
    setModal(true);

    failedLabel_ = new QLabel(failedPort + QString::fromUtf8(serial::msg::kPortNotOpenedSuffix), this);
    failedLabel_->setObjectName(QStringLiteral("Label1"));
    auto* questionLabel = new QLabel(QStringLiteral("他のポートで起動しますか？"), this);
    questionLabel->setObjectName(QStringLiteral("Label2"));
    auto* portLabel = new QLabel(QStringLiteral("ポートの選択"), this);
    portLabel->setObjectName(QStringLiteral("Label3"));

    portBox_ = new QComboBox(this);
    portBox_->setObjectName(QStringLiteral("ComboBox1"));
    portBox_->setEditable(true);
    portBox_->setInsertPolicy(QComboBox::NoInsert);
    portBox_->setMinimumContentsLength(12);
    portLabel->setBuddy(portBox_);
    for (std::size_t i = 1; i < ports.size(); ++i) {
        portBox_->addItem(QString::fromStdString(ports[i]));
    }
    portBox_->setEditText(ports.empty() ? QString() : QString::fromStdString(ports.front()));

    auto* yesButton = new QPushButton(QStringLiteral("はい(&Y)"), this);
    yesButton->setObjectName(QStringLiteral("YesButton"));
    yesButton->setDefault(true);
    auto* noButton = new QPushButton(QStringLiteral("いいえ(&N)"), this);
    noButton->setObjectName(QStringLiteral("NoButton"));
    connect(yesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(noButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* portRow = new QHBoxLayout;
    portRow->addWidget(portLabel);
    portRow->addWidget(portBox_, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(yesButton);
    buttonRow->addWidget(noButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(failedLabel_);
    layout->addWidget(questionLabel);
    layout->addSpacing(6);
    layout->addLayout(portRow);
    layout->addSpacing(6);
    layout->addLayout(buttonRow);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    if (mainWindow != nullptr) {
        move(mainWindow->pos() + QPoint(10, 10));
    }
}

std::optional<std::string> TComSelectForm::Ask()
{
    if (exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return PortText().trimmed().toStdString();
}

QString TComSelectForm::PortText() const
{
    return portBox_->currentText();
}

} // namespace maroka::gui
