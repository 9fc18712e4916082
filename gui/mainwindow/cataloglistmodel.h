#pragma once
// The model behind the list view beside the tree: a virtual list whose cells the list controller
// builds when a row is drawn.

#include <QAbstractTableModel>
#include <QString>
#include <functional>

class CatalogList;

/// The model behind the list view; every question goes to the list's cellData.
class CatalogListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CatalogListModel(CatalogList* helper);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    /// A click on a header: the rows take the column's order (-1: the list's own); selected rows stay
    /// selected.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    /// Starts over with another row count and column layout.
    void reset(int rows);

    /// Called when the user finished editing a caption in place (renaming, in the window).
    std::function<void(int row, const QString& text)> onCaptionEdited;
    /// Whether a row's caption may be edited in place.
    std::function<bool(int row)> canEdit;

private:
    CatalogList* m_helper;
    int m_rows = 0;
};
