#include "gui/mainwindow/cataloglistmodel.h"

#include "gui/mainwindow/cataloglist.h"

CatalogListModel::CatalogListModel(CatalogList* helper)
    : m_helper(helper)
{
}

int CatalogListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int CatalogListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(CatalogList::columnsOf(m_helper->kind).size());
}

QVariant CatalogListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows) {
        return {};
    }
    return m_helper->cellData(index.row(), index.column(), role);
}

QVariant CatalogListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) {
        return {};
    }
    const QList<CatalogListColumn> columns = CatalogList::columnsOf(m_helper->kind);
    if (section < 0 || section >= columns.size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return columns.at(section).caption;
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(columns.at(section).alignment | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags CatalogListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0 && canEdit && canEdit(index.row())) {
        result |= Qt::ItemIsEditable;
    }
    return result;
}

bool CatalogListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::EditRole || !onCaptionEdited) {
        return false;
    }
    const int row = index.row();
    const QString text = value.toString();
    // The window renames and refills the list, which resets this model: answer first.
    QMetaObject::invokeMethod(
        this, [this, row, text] { onCaptionEdited(row, text); }, Qt::QueuedConnection);
    return true;
}

void CatalogListModel::reset(int rows)
{
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

void CatalogListModel::sort(int column, Qt::SortOrder order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<int> sources;
    for (const QModelIndex& index : before) {
        sources.append(m_helper->sourceRow(index.row()));
    }
    m_helper->sortBy(column, order);
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int row = m_helper->viewRow(sources.at(i));
        after.append(row >= 0 ? index(row, before.at(i).column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
