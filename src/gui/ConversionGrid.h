#pragma once

// The string conversion table of the settings dialog: a fixed header row
// over 20 editable rows of old and new text.

#include "core/settings/SessionSettings.h"

#include <QTableWidget>

namespace maroka::gui {

class ConversionGrid final : public QTableWidget {
    Q_OBJECT

public:
    explicit ConversionGrid(QWidget* parent = nullptr);

    void SetPairs(const std::array<settings::ConversionPair, settings::kConversionPairCount>& pairs);
    std::array<settings::ConversionPair, settings::kConversionPairCount> Pairs() const;
    // Empties every cell below the header.
    void ClearPairs();

signals:
    // The user changed a cell.
    void PairEdited();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QString Cell(int row, int column) const;
    void SetCell(int row, int column, const QString& text);
};

} // namespace maroka::gui
