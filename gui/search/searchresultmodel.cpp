#include "gui/search/searchresultmodel.h"

#include "core/search/catalogsearch.h"

namespace {

bool isShownRole(int role) { return role == Qt::DisplayRole || role == Qt::DecorationRole || role == ImageIndexRole; }

} // namespace

SearchResultModel::SearchResultModel(
    const CatalogSearch& search, ResultList list, ListSignal aboutToChange, ListSignal changed, QObject* parent)
    : QAbstractTableModel(parent)
    , m_search(search)
    , m_list(list)
    , m_rows(results().count())
{
    connect(&search, aboutToChange, this, [this] { beginResetModel(); });
    connect(&search, changed, this, [this] {
        m_rows = results().count();
        endResetModel();
    });
}

const EntityList& SearchResultModel::results() const { return m_search.*m_list; }

const EntityEntry* SearchResultModel::entryAt(int row) const
{
    return row < results().count() ? results().at(row) : nullptr;
}

int SearchResultModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int SearchResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(captions().size());
}

QVariant SearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    const QStringList names = captions();
    return section >= 0 && section < names.size() ? QVariant(names.at(section)) : QVariant();
}

QVariant SearchResultModel::data(const QModelIndex& index, int role) const
{
    if (!isShownRole(role) || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    // A row whose catalog cannot be read any more shows empty cells; the command that opens it reports.
    try {
        const EntityEntry* entry = entryAt(index.row());
        if (entry == nullptr || entry->entity == nullptr) {
            return {};
        }
        return cell(*entry, index.column(), role);
    } catch (...) {
        return {};
    }
}
