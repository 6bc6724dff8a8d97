#include "gui/ConversionGrid.h"

#include <QHeaderView>
#include <QSignalBlocker>

namespace maroka::gui {

ConversionGrid::ConversionGrid(QWidget* parent) : QTableWidget(settings::kConversionPairCount + 1, 2, parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setSelectionMode(QAbstractItemView::SingleSelection);
    const char* headers[] = {"　　　旧文字列", "　　　新文字列"};
    for (int column = 0; column < 2; ++column) {
        auto* item = new QTableWidgetItem(QString::fromUtf8(headers[column]));
        item->setFlags(Qt::ItemIsEnabled);
        item->setBackground(palette().button());
        item->setForeground(palette().buttonText());
        setItem(0, column, item);
    }
    for (int row = 1; row <= settings::kConversionPairCount; ++row) {
        for (int column = 0; column < 2; ++column) {
            setItem(row, column, new QTableWidgetItem);
        }
    }
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->row() > 0) {
            emit PairEdited();
        }
    });
}

QString ConversionGrid::Cell(int row, int column) const
{
    const QTableWidgetItem* cell = item(row, column);
    return cell != nullptr ? cell->text() : QString();
}

void ConversionGrid::SetCell(int row, int column, const QString& text)
{
    item(row, column)->setText(text);
}

void ConversionGrid::SetPairs(const std::array<settings::ConversionPair, settings::kConversionPairCount>& pairs)
{
    const QSignalBlocker blocker(this);
    for (int row = 1; row <= settings::kConversionPairCount; ++row) {
        const settings::ConversionPair& pair = pairs[static_cast<std::size_t>(row - 1)];
        SetCell(row, 0, QString::fromStdString(pair.oldText));
        SetCell(row, 1, QString::fromStdString(pair.newText));
    }
}

std::array<settings::ConversionPair, settings::kConversionPairCount> ConversionGrid::Pairs() const
{
    std::array<settings::ConversionPair, settings::kConversionPairCount> pairs;
    for (int row = 1; row <= settings::kConversionPairCount; ++row) {
        pairs[static_cast<std::size_t>(row - 1)] = {Cell(row, 0).toStdString(), Cell(row, 1).toStdString()};
    }
    return pairs;
}

void ConversionGrid::ClearPairs()
{
    const QSignalBlocker blocker(this);
    for (int row = 1; row <= settings::kConversionPairCount; ++row) {
        for (int column = 0; column < 2; ++column) {
            if (!Cell(row, column).isEmpty()) {
                SetCell(row, column, QString());
            }
        }
    }
}

void ConversionGrid::resizeEvent(QResizeEvent* event)
{
    QTableWidget::resizeEvent(event);
    const int column = std::max(0, (width() - 23) / 2);
    setColumnWidth(0, column);
    setColumnWidth(1, column);
}

} // namespace maroka::gui
