#pragma once

// The program's file open and save dialog: Qt's own dialog (the same on every
// desktop) with a panel that shows the start of the selected file as NC text,
// and a check box to switch that preview off for slow or huge files. The save
// form asks before replacing a file and gives the name the extension of the
// filter the user picks.

#include <QFileDialog>

#include <string_view>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace maroka::gui {

class TextFileDialog : public QFileDialog {
    Q_OBJECT

public:
    enum class Kind {
        OpenOne,
        OpenMany,
        Save,
    };

    // The preview shows at most this many bytes of the file.
    static constexpr qint64 kPreviewBytes = 1024;

    TextFileDialog(QWidget* parent, Kind kind, const QString& title, std::string_view filter, const QString& folder);

    void SetPreviewEnabled(bool enabled);
    bool PreviewEnabled() const;
    QString PreviewText() const;

    // The text the preview shows for `path`: its first kPreviewBytes bytes
    // decoded from CP932, or an empty text for anything but a readable file.
    static QString PreviewOf(const QString& path);

private:
    void ShowPreview(const QString& path);
    // The existing file the name box names, or an empty text.
    QString TypedFile() const;
    void AdjustExtension(const QString& nameFilter);

    QCheckBox* previewCheck_ = nullptr;
    QPlainTextEdit* preview_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
    QString currentPath_;
};

} // namespace maroka::gui
