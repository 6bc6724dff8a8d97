#include "gui/TextFileDialog.h"

#include "core/text/PreviewText.h"
#include "gui/DataFont.h"
#include "gui/FileFilter.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

namespace maroka::gui {

TextFileDialog::TextFileDialog(QWidget* parent, Kind kind, const QString& title, std::string_view filter,
                               const QString& folder)
    : QFileDialog(parent, title)
{
    setObjectName(QStringLiteral("TextFileDialog"));
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::HideNameFilterDetails, true);
    switch (kind) {
    case Kind::OpenOne:
        setAcceptMode(QFileDialog::AcceptOpen);
        setFileMode(QFileDialog::ExistingFile);
        break;
    case Kind::OpenMany:
        setAcceptMode(QFileDialog::AcceptOpen);
        setFileMode(QFileDialog::ExistingFiles);
        break;
    case Kind::Save:
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setOption(QFileDialog::DontConfirmOverwrite, false);
        break;
    }
    setViewMode(QFileDialog::Detail);
    setLabelText(QFileDialog::LookIn, QStringLiteral("場所(&I):"));
    setLabelText(QFileDialog::FileName, QStringLiteral("ファイル名(&N):"));
    setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類(&T):"));
    setLabelText(QFileDialog::Accept, kind == Kind::Save ? QStringLiteral("保存(&S)") : QStringLiteral("開く(&O)"));
    setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    const QStringList filters = NameFilters(filter);
    if (!filters.isEmpty()) {
        setNameFilters(filters);
    }
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        setDirectory(folder);
    }

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PreviewPanel"));
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    previewCheck_ = new QCheckBox(tr("プレビュー(&P)"), panel);
    previewCheck_->setObjectName(QStringLiteral("PreviewCheckBox"));
    previewCheck_->setChecked(true);
    preview_ = new QPlainTextEdit(panel);
    preview_->setObjectName(QStringLiteral("PreviewText"));
    preview_->setReadOnly(true);
    preview_->setLineWrapMode(QPlainTextEdit::NoWrap);
    preview_->setFont(DataFont());
    preview_->setMinimumWidth(preview_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 28);
    panelLayout->addWidget(previewCheck_);
    panelLayout->addWidget(preview_, 1);

    // Qt's own dialog lays itself out in a grid; the panel becomes a column
    // on its right over the full height.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1);
    } else {
        layout()->addWidget(panel);
    }

    // Qt's default size leaves the folder box and the list cramped once the
    // preview takes its column; the name column takes what the size, type
    // and date columns leave, so all four stay in sight.
    const QFontMetrics metrics(font());
    resize(sizeHint().expandedTo(QSize(metrics.averageCharWidth() * 140, metrics.lineSpacing() * 30)));
    if (auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter"))) {
        const int side = metrics.averageCharWidth() * 18;
        splitter->setSizes({side, width() - side});
    }
    if (auto* tree = findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }

    connect(this, &QFileDialog::currentChanged, this, &TextFileDialog::ShowPreview);
    // A name typed into the name box previews that file too.
    nameEdit_ = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (nameEdit_ != nullptr) {
        connect(nameEdit_, &QLineEdit::textChanged, this, [this] { ShowPreview(currentPath_); });
    }
    connect(previewCheck_, &QCheckBox::toggled, this, [this](bool on) {
        preview_->setEnabled(on);
        ShowPreview(currentPath_);
    });
    if (kind == Kind::Save) {
        connect(this, &QFileDialog::filterSelected, this, &TextFileDialog::AdjustExtension);
        AdjustExtension(selectedNameFilter());
    }
}

void TextFileDialog::SetPreviewEnabled(bool enabled)
{
    previewCheck_->setChecked(enabled);
    preview_->setEnabled(enabled);
}

bool TextFileDialog::PreviewEnabled() const
{
    return previewCheck_->isChecked();
}

QString TextFileDialog::PreviewText() const
{
    return preview_->toPlainText();
}

QString TextFileDialog::PreviewOf(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // A few bytes more than shown, so that a character across the limit is
    // recognised and left out instead of showing as garbage.
    const QByteArray head = file.read(kPreviewBytes + 3);
    return QString::fromStdString(text::PreviewText(
        std::string_view(head.constData(), static_cast<std::size_t>(head.size())), std::size_t{kPreviewBytes}));
}

QString TextFileDialog::TypedFile() const
{
    const QString typed = nameEdit_ != nullptr ? nameEdit_->text().trimmed() : QString();
    if (typed.isEmpty()) {
        return {};
    }
    const QString path = directory().absoluteFilePath(typed);
    return QFileInfo(path).isFile() ? path : QString();
}

void TextFileDialog::ShowPreview(const QString& path)
{
    currentPath_ = path;
    // The view's current file lags behind a typed name, which is what the
    // dialog would open; that one wins.
    const QString typed = TypedFile();
    const QString shown = typed.isEmpty() ? path : typed;
    preview_->setPlainText(previewCheck_->isChecked() ? PreviewOf(shown) : QString());
}

void TextFileDialog::AdjustExtension(const QString& nameFilter)
{
    const QString extension = FilterExtension(nameFilter);
    setDefaultSuffix(extension);
    if (extension.isEmpty()) {
        return;
    }
    // In a save dialog the first selected file is the typed name.
    const QString typed = selectedFiles().value(0);
    const QFileInfo info(typed);
    if (typed.isEmpty() || info.isDir() || info.fileName().isEmpty()) {
        return;
    }
    selectFile(WithExtension(info.fileName(), extension));
}

} // namespace maroka::gui
