#pragma once
// Draws a percentage cell as a bar, as file managers draw the fill of a drive.

#include <QStyledItemDelegate>

class FillBarDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    /// The cell's FigureTableModel::ValueRole is the percentage; a negative one draws as an empty cell.
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    /// Wide enough for a bar that reads at a glance, whatever the column's texts need.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
