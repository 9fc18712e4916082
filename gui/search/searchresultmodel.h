#pragma once
// The common part of the two result lists of the search panel: a table model over one of
// CatalogSearch's entity lists; rows are the list entries, texts are built when a row is drawn, nothing
// is copied.

#include <QAbstractTableModel>
#include <QString>
#include <vector>

class CatalogSearch;
class EntityList;
struct EntityEntry;

/// The role that answers a row's image index: 4 for a disc result (the shared small images), the
/// systemIconIndex of a file's name or the folder icon's index for a file result.
constexpr int ImageIndexRole = Qt::UserRole + 1;

/// The row count shown changes only by resetting the model when the search announces a change of its
/// list, so views never see a list in the middle of a search. data() never throws: a row whose catalog
/// cannot be read shows empty cells. The search must outlive the model.
class SearchResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    /// The list a model shows: &CatalogSearch::discResults or &CatalogSearch::fileResults.
    using ResultList = EntityList CatalogSearch::*;
    /// A signal of the search that announces a change of the list.
    using ListSignal = void (CatalogSearch::*)();

    /// Shows list of search, following aboutToChange and changed.
    SearchResultModel(const CatalogSearch& search, ResultList list, ListSignal aboutToChange, ListSignal changed,
        QObject* parent = nullptr);

    /// Orders the rows by a column, as a click on its header asks; column -1 gives back the search's
    /// own order (the first one shown). The order holds for the results of later searches too.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return m_sortColumn; }
    /// The entry a row shows, in the order chosen; null outside the rows.
    const EntityEntry* entryAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

protected:
    virtual QStringList captions() const = 0;
    /// The cell's value; may raise (data() answers an empty value then).
    virtual QVariant cell(const EntityEntry& entry, int column, int role) const = 0;
    /// What a column sorts by: a number, or a text compared ignoring letter case.
    struct SortKey {
        quint64 number = 0;
        QString text;
    };
    /// The key of a row in a column; may raise (the row then sorts as empty).
    virtual SortKey sortKey(const EntityEntry& entry, int column) const = 0;

    const CatalogSearch& m_search;

private:
    const EntityList& results() const;
    /// Fills m_order for the column chosen (empty: the search's order).
    void order();

    const ResultList m_list;
    int m_rows = 0;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    std::vector<int> m_order; ///< the list index of each row, when sorted
};
