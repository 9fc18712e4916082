#include "gui/search/searchresultmodel.h"

#include "core/search/catalogsearch.h"

#include <algorithm>
#include <numeric>

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
        order();
        endResetModel();
    });
}

void SearchResultModel::sort(int column, Qt::SortOrder order)
{
    if (column >= columnCount()) {
        return;
    }
    beginResetModel();
    m_sortColumn = column < 0 ? -1 : column;
    m_sortOrder = order;
    this->order();
    endResetModel();
}

void SearchResultModel::order()
{
    m_order.clear();
    if (m_sortColumn < 0 || m_rows == 0) {
        return;
    }
    // The keys are made once a row: texts such as folder paths are read from the catalogs.
    std::vector<SortKey> keys(static_cast<std::size_t>(m_rows));
    for (int i = 0; i < m_rows; ++i) {
        try {
            const EntityEntry* entry = results().at(i);
            if (entry->entity != nullptr) {
                keys[static_cast<std::size_t>(i)] = sortKey(*entry, m_sortColumn);
            }
        } catch (...) {
            // A row whose catalog cannot be read sorts as empty.
        }
    }
    m_order.resize(keys.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    const auto less = [&keys](int a, int b) {
        const SortKey& left = keys[static_cast<std::size_t>(a)];
        const SortKey& right = keys[static_cast<std::size_t>(b)];
        if (left.number != right.number) {
            return left.number < right.number;
        }
        return left.text.compare(right.text, Qt::CaseInsensitive) < 0;
    };
    // Equal keys keep the search's order, in both directions.
    if (m_sortOrder == Qt::AscendingOrder) {
        std::stable_sort(m_order.begin(), m_order.end(), less);
    } else {
        std::stable_sort(m_order.begin(), m_order.end(), [&less](int a, int b) { return less(b, a); });
    }
}

const EntityList& SearchResultModel::results() const { return m_search.*m_list; }

const EntityEntry* SearchResultModel::entryAt(int row) const
{
    if (row < 0 || row >= m_rows || row >= results().count()) {
        return nullptr;
    }
    return results().at(m_order.empty() ? row : m_order[static_cast<std::size_t>(row)]);
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
