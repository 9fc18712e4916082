#include "gui/mainwindow/cataloglist.h"

#include "core/catalog/discidentity.h"
#include "core/filesets/fileset.h"
#include "core/filesets/owner.h"
#include "core/filesets/ownerindex.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "gui/common/appicons.h"
#include "gui/common/columnwidths.h"
#include "gui/common/systemicons.h"
#include "gui/mainwindow/navigationtree.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyle>
#include <QTreeView>
#include <algorithm>

CatalogList* g_catalogList = nullptr;

CatalogList::CatalogList()
    : model(new CatalogListModel(this))
{
}

CatalogList::~CatalogList() { delete model; }

const QList<CatalogListColumn>& CatalogList::columnsOf(ItemKind kind)
{
    const Qt::Alignment left = Qt::AlignLeft;
    const Qt::Alignment right = Qt::AlignRight;
    static const QList<CatalogListColumn> s_owners
        = { { QStringLiteral("Name"), 200, true, left }, { QStringLiteral("Filesets"), 120, false, left } };
    static const QList<CatalogListColumn> s_filesets
        = { { QStringLiteral("Description"), 200, true, left }, { QStringLiteral("Discs"), 70, false, right },
              { QStringLiteral("Data"), 110, false, right }, { QStringLiteral("Modified"), 110, false, left } };
    static const QList<CatalogListColumn> s_discs = { { QStringLiteral("Title"), 200, true, left },
        { QStringLiteral("Used Space"), 80, false, right }, { QStringLiteral("Capacity"), 80, false, right } };
    static const QList<CatalogListColumn> s_items
        = { { QStringLiteral("Name"), 180, true, left }, { QStringLiteral("Size"), 80, false, right },
              { QStringLiteral("Modified"), 80, false, left }, { QStringLiteral("Comment"), 100, false, left } };
    static const QList<CatalogListColumn> s_none;
    switch (kind) {
    case OwnersItem:
        return s_owners;
    case OwnerItem:
        return s_filesets;
    case FilesetItem:
        return s_discs;
    case DiscItem:
    case FolderItem:
        return s_items;
    case SearchItem:
        break;
    }
    return s_none;
}

namespace {

// Date and size columns are made wide enough for a date and time in the user's formats and for the
// widest size text, which are often longer than the column's design width allows.
int fittingWidth(const QTreeView* view, const QString& caption)
{
    QString sample;
    if (caption == QStringLiteral("Modified")) {
        sample = formatDateTime(QDateTime(QDate(2000, 12, 28), QTime(22, 58, 58)));
    } else if (caption == QStringLiteral("Size") || caption == QStringLiteral("Data")
        || caption == QStringLiteral("Used Space") || caption == QStringLiteral("Capacity")) {
        sample = formatSize(std::int64_t(1099511627775)); // the widest: just below 1024 Gb
    } else {
        return 0;
    }
    return view->fontMetrics().horizontalAdvance(sample) + 3 * view->style()->pixelMetric(QStyle::PM_HeaderMargin);
}

// Text order for a click on a header: letter case ignored, then the list's own order.
int compareCaptions(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive); }

template <typename T> int compareValues(const T& a, const T& b) { return a < b ? -1 : (b < a ? 1 : 0); }

} // namespace

void CatalogList::attach(QTreeView* view)
{
    this->view = view;
    view->setModel(model);
    buildColumns(kind);
}

void CatalogList::setKind(ItemKind kind)
{
    if (this->kind == kind) {
        return;
    }
    if (view == nullptr) {
        this->kind = kind;
        return;
    }
    buildColumns(kind); // keeps the widths of the kind shown so far first
}

SettingKey CatalogList::columnsSetting(ItemKind kind)
{
    switch (kind) {
    case OwnersItem:
        return OwnersColumnsSetting;
    case OwnerItem:
        return FilesetsColumnsSetting;
    case FilesetItem:
        return DiscsColumnsSetting;
    default:
        return FilesColumnsSetting;
    }
}

QList<int> CatalogList::resizableWidths() const
{
    QList<int> widths;
    const QHeaderView* header = view->header();
    for (int section = 0; section < header->count(); ++section) {
        if (header->sectionResizeMode(section) == QHeaderView::Interactive) {
            widths.append(header->sectionSize(section));
        }
    }
    return widths;
}

void CatalogList::saveColumnWidths() const
{
    // Only what the user changed is kept: the widths a layout starts with are its own.
    if (view != nullptr && m_columnsBuilt && !columnsOf(kind).isEmpty() && resizableWidths() != m_builtWidths) {
        keepColumnWidths(view->header(), columnsSetting(kind));
    }
}

void CatalogList::buildColumns(ItemKind kind)
{
    if (view == nullptr) {
        return;
    }
    saveColumnWidths();
    this->kind = kind;
    m_sortColumn = -1;
    m_order.clear();
    model->reset(0);
    const QList<CatalogListColumn> columns = columnsOf(kind);
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    for (int i = 0; i < columns.size(); ++i) {
        header->setSectionResizeMode(i, columns.at(i).automatic ? QHeaderView::Stretch : QHeaderView::Interactive);
        if (!columns.at(i).automatic) {
            header->resizeSection(i, std::max(columns.at(i).width, fittingWidth(view, columns.at(i).caption)));
        }
    }
    fitColumnCaptions(header);
    if (!columns.isEmpty()) {
        restoreColumnWidths(header, columnsSetting(kind));
    }
    // Another kind starts in its own order.
    if (header->sortIndicatorSection() != -1) {
        header->setSortIndicator(-1, Qt::AscendingOrder);
    }
    header->setVisible(!columns.isEmpty());
    m_columnsBuilt = true;
    m_builtWidths = resizableWidths();
}

int CatalogList::sourceRow(int row) const
{
    return m_order.empty() || row < 0 || row >= static_cast<int>(m_order.size()) ? row : m_order.at(row);
}

int CatalogList::viewRow(int source) const
{
    if (m_order.empty()) {
        return source;
    }
    return source >= 0 && source < static_cast<int>(m_shownAt.size()) ? m_shownAt.at(source) : -1;
}

void CatalogList::sortBy(int column, Qt::SortOrder order)
{
    m_sortColumn = column >= 0 && column < columnsOf(kind).size() ? column : -1;
    m_sortOrder = order;
    applyOrder();
}

void CatalogList::applyOrder()
{
    m_order.clear();
    if (m_sortColumn < 0) {
        return;
    }
    const int rows = rowCount();
    m_order.resize(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        m_order[static_cast<std::size_t>(row)] = row;
    }
    try {
        std::stable_sort(m_order.begin(), m_order.end(), [this](int a, int b) { return sortsBefore(a, b); });
    } catch (...) {
        // A catalog that cannot be read keeps the list's own order.
        m_order.clear();
        return;
    }
    m_shownAt.assign(m_order.size(), -1);
    for (std::size_t row = 0; row < m_order.size(); ++row) {
        m_shownAt[static_cast<std::size_t>(m_order[row])] = static_cast<int>(row);
    }
}

bool CatalogList::sortsBefore(int a, int b) const
{
    int kindOrder = 0;
    int result = 0;
    switch (kind) {
    case OwnersItem: {
        const Owner* first = g_ownerIndex->at(a);
        const Owner* second = g_ownerIndex->at(b);
        result = m_sortColumn == 0 ? compareCaptions(first->name, second->name)
                                   : compareValues(first->count(), second->count());
        break;
    }
    case OwnerItem: {
        Fileset* first = owner->at(a);
        Fileset* second = owner->at(b);
        switch (m_sortColumn) {
        case 0:
            result = compareCaptions(first->description(), second->description());
            break;
        case 1:
            result = compareValues(first->discCount(), second->discCount());
            break;
        case 2:
            result = compareValues(first->totalDiscSize(), second->totalDiscSize());
            break;
        default:
            result = compareValues(first->modified(), second->modified());
            break;
        }
        break;
    }
    case FilesetItem:
    case DiscItem:
    case FolderItem: {
        const TKTBEntity* first = entities.at(a)->entity.get();
        const TKTBEntity* second = entities.at(b)->entity.get();
        // Discs, folders and files stay in their groups, whichever way the column sorts.
        kindOrder = compareValues(first->Kind == KTB_TAG_FILE, second->Kind == KTB_TAG_FILE);
        if (m_sortColumn == 0) {
            result = compareCaptions(entityText(first), entityText(second));
        } else if (first->disc() != nullptr && second->disc() != nullptr) {
            result = m_sortColumn == 1 ? compareValues(first->disc()->Used, second->disc()->Used)
                                       : compareValues(first->disc()->Capacity, second->disc()->Capacity);
        } else if (first->file() != nullptr && second->file() != nullptr) {
            const TKTBFileData* one = first->file();
            const TKTBFileData* other = second->file();
            switch (m_sortColumn) {
            case 1:
                result = compareValues(one->Size, other->Size);
                break;
            case 2:
                result = compareValues(one->DateTime, other->DateTime);
                break;
            default:
                result = compareCaptions(decodeCatalogText(one->Comment), decodeCatalogText(other->Comment));
                break;
            }
        }
        break;
    }
    case SearchItem:
        break;
    }
    if (kindOrder != 0) {
        return kindOrder < 0;
    }
    return m_sortOrder == Qt::AscendingOrder ? result < 0 : result > 0;
}

std::uint64_t CatalogList::rowBytes(int source) const
{
    switch (kind) {
    case OwnerItem:
        return owner->at(source)->totalDiscSize();
    case FilesetItem:
    case DiscItem:
    case FolderItem: {
        const TKTBEntity* entity = entities.at(source)->entity.get();
        if (entity->disc() != nullptr) {
            return entity->disc()->Used;
        }
        return entity->file() != nullptr ? entity->file()->Size : 0;
    }
    default:
        return 0;
    }
}

CatalogListTotals CatalogList::totals(const QList<int>& rows) const
{
    CatalogListTotals result;
    result.hasBytes = kind != OwnersItem && kind != SearchItem;
    const int count = rowCount();
    auto add = [&](int row) {
        if (row < 0 || row >= count) {
            return;
        }
        ++result.rows;
        if (result.hasBytes) {
            try {
                result.bytes += rowBytes(sourceRow(row));
            } catch (...) {
                // A fileset whose catalog cannot be read adds no bytes.
            }
        }
    };
    if (rows.isEmpty()) {
        for (int row = 0; row < count; ++row) {
            add(row);
        }
    } else {
        for (const int row : rows) {
            add(row);
        }
    }
    return result;
}

int CatalogList::rowCount() const
{
    switch (kind) {
    case OwnersItem:
        return g_ownerIndex != nullptr ? g_ownerIndex->count() : 0;
    case OwnerItem:
        return owner != nullptr ? owner->count() : 0;
    case FilesetItem:
    case DiscItem:
    case FolderItem:
        return entities.count();
    case SearchItem:
        break;
    }
    return 0;
}

void CatalogList::fill(const ItemRef* node)
{
    model->reset(0);
    m_order.clear();
    entities.clear();
    owner = nullptr;
    shown.reset();
    if (node == nullptr) {
        return;
    }
    setKind(node->kind);
    shown = *node;
    switch (node->kind) {
    case OwnersItem:
        break;
    case OwnerItem:
        owner = static_cast<Owner*>(node->ref);
        break;
    case FilesetItem: {
        auto* fileset = static_cast<Fileset*>(node->ref);
        const KtbCursorPtr cursor(
            ktbFindFirstAll(fileset->handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES | KTB_FIND_KEEP));
        while (cursor != nullptr) {
            const int index = entities.addEntity(cursor->Current, false);
            entities.at(index)->fileset = fileset;
            if (ktbFindNext(cursor.get()) != KTB_OK) {
                break;
            }
        }
        entities.sortEntities();
        break;
    }
    case DiscItem:
    case FolderItem: {
        auto* fileset = static_cast<Fileset*>(node->ref);
        const KtbCursorPtr cursor(ktbFindFirst(
            fileset->handle(), KTB_FIND_NODISCS | KTB_FIND_CHILDREN | KTB_FIND_KEEP, node->offset, nullptr));
        while (cursor != nullptr) {
            TKTBEntity* entity = cursor->Current;
            const int index = entities.addEntity(entity, false);
            EntityEntry* entry = entities.at(index);
            entry->fileset = fileset;
            entry->imageIndex = entity->Kind == KTB_TAG_FILE ? systemIconIndex(decodeCatalogText(entity->name()), false)
                                                             : systemIconIndex(QString(), false);
            if (ktbFindNext(cursor.get()) != KTB_OK) {
                break;
            }
        }
        entities.sortEntities();
        break;
    }
    case SearchItem:
        break;
    }
    applyOrder();
    model->reset(rowCount());
}

void CatalogList::clear()
{
    shown.reset();
    owner = nullptr;
    m_order.clear();
    entities.clear();
    model->reset(0);
    if (view != nullptr) {
        view->viewport()->update();
    }
}

QString CatalogList::rowCaption(int row) const { return cellData(row, 0, Qt::DisplayRole).toString(); }

QVariant CatalogList::cellData(int row, int column, int role) const
{
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    row = sourceRow(row);
    try {
        switch (kind) {
        case OwnersItem:
            return ownerRow(row, column, role);
        case OwnerItem:
            return filesetRow(row, column, role);
        case FilesetItem:
            return discRow(row, column, role);
        case DiscItem:
        case FolderItem:
            return itemRow(row, column, role);
        case SearchItem:
            break;
        }
    } catch (...) {
        // A row whose catalog cannot be read shows empty cells; the command that failed reports it.
    }
    return {};
}

namespace {

QVariant alignmentOf(ItemKind kind, int column)
{
    const QList<CatalogListColumn>& columns = CatalogList::columnsOf(kind);
    if (column < 0 || column >= columns.size()) {
        return {};
    }
    return QVariant::fromValue(columns.at(column).alignment | Qt::AlignVCenter);
}

} // namespace

QVariant CatalogList::ownerRow(int row, int column, int role) const
{
    const Owner* owner = g_ownerIndex->at(row);
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (column == 0) {
            return owner->name;
        }
        if (column == 1) {
            return QString::number(owner->count()) + QStringLiteral(" Filesets");
        }
    } else if (role == Qt::DecorationRole && column == 0 && smallImages != nullptr) {
        return smallImages->icon(OwnerImage);
    } else if (role == Qt::TextAlignmentRole) {
        return alignmentOf(kind, column);
    }
    return {};
}

QVariant CatalogList::filesetRow(int row, int column, int role) const
{
    Fileset* fileset = owner->at(row);
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
        case 0:
            return fileset->description();
        case 1:
            return QString::number(fileset->discCount());
        case 2:
            return formatSize(static_cast<std::int64_t>(fileset->totalDiscSize()));
        case 3:
            return formatDate(fileset->modified().date());
        default:
            break;
        }
    } else if (role == Qt::DecorationRole && column == 0 && smallImages != nullptr) {
        return smallImages->icon(FilesetImage);
    } else if (role == Qt::TextAlignmentRole) {
        return alignmentOf(kind, column);
    }
    return {};
}

QVariant CatalogList::discRow(int row, int column, int role) const
{
    const TKTBEntity* entity = entities.at(row)->entity.get();
    const TKTBDisc* disc = entity->disc();
    if (disc == nullptr) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
        case 0:
            return entityText(entity);
        case 1:
            return formatSize(disc->Used);
        case 2:
            return formatSize(disc->Capacity);
        default:
            break;
        }
    } else if (role == Qt::DecorationRole && column == 0 && smallImages != nullptr) {
        return smallImages->icon((disc->Flags & KTB_DISC_AUDIO) != 0 ? AudioDiscImage : DataDiscImage);
    } else if (role == Qt::TextAlignmentRole) {
        return alignmentOf(kind, column);
    }
    return {};
}

QVariant CatalogList::itemRow(int row, int column, int role) const
{
    const EntityEntry* entry = entities.at(row);
    const TKTBEntity* entity = entry->entity.get();
    const TKTBFileData* file = entity->file();
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
        case 0:
            return decodeCatalogText(entity->name());
        case 1:
            return file != nullptr ? formatSize(file->Size) : QString();
        case 2:
            return file != nullptr ? formatDosDateTime(file->DateTime) : QString();
        case 3:
            return file != nullptr ? decodeCatalogText(file->Comment) : QStringLiteral("Folder");
        default:
            break;
        }
    } else if (role == Qt::DecorationRole && column == 0) {
        return systemIcons().icon(entry->imageIndex);
    } else if (role == Qt::TextAlignmentRole) {
        return alignmentOf(kind, column);
    }
    return {};
}

bool CatalogList::selection(ItemRefs& items) const
{
    items.clear();
    if (view == nullptr || view->selectionModel() == nullptr) {
        return false;
    }
    if (kind != OwnersItem && kind != OwnerItem && kind != FilesetItem) {
        return false;
    }
    // The view's order of selected rows is their order in the list.
    QList<int> rows;
    for (const QModelIndex& index : view->selectionModel()->selectedRows()) {
        rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    for (const int shownRow : rows) {
        if (shownRow < 0 || shownRow >= rowCount()) {
            continue;
        }
        const int row = sourceRow(shownRow);
        ItemRef item;
        switch (kind) {
        case OwnersItem:
            item.kind = OwnerItem;
            item.ref = g_ownerIndex->at(row);
            break;
        case OwnerItem:
            item.kind = FilesetItem;
            item.ref = owner->at(row);
            break;
        default: {
            const EntityEntry* entry = entities.at(row);
            item.kind = DiscItem;
            item.ref = entry->fileset;
            item.offset = entry->entity->Offset;
            item.flags = entry->entity->disc() != nullptr ? entry->entity->disc()->Flags : 0;
            break;
        }
        }
        items.push_back(item);
    }
    return !items.empty();
}

int CatalogList::findRow(const QString& name) const
{
    if (kind != FilesetItem && kind != DiscItem && kind != FolderItem) {
        return -1;
    }
    // Letter case counts for the ASCII letters only, as everywhere names are compared.
    for (int row = 0; row < entities.count(); ++row) {
        if (sameTextAscii(entityText(entities.at(sourceRow(row))->entity.get()), name)) {
            return row;
        }
    }
    return -1;
}

int CatalogList::findRowByOffset(std::uint32_t offset) const
{
    if (kind != FilesetItem && kind != DiscItem && kind != FolderItem) {
        return -1;
    }
    for (int row = 0; row < entities.count(); ++row) {
        if (entities.at(sourceRow(row))->entity->Offset == offset) {
            return row;
        }
    }
    return -1;
}

bool CatalogList::rowItem(int row, ItemRef& item) const
{
    if (row < 0 || row >= rowCount()) {
        return false;
    }
    row = sourceRow(row);
    item = ItemRef {};
    switch (kind) {
    case OwnersItem:
        item.kind = OwnerItem;
        item.ref = g_ownerIndex->at(row);
        return true;
    case OwnerItem:
        item.kind = FilesetItem;
        item.ref = owner->at(row);
        return true;
    case FilesetItem:
    case DiscItem:
    case FolderItem: {
        const EntityEntry* entry = entities.at(row);
        const TKTBEntity* entity = entry->entity.get();
        if (entity->Kind != KTB_TAG_DISC && entity->Kind != KTB_TAG_FOLDER) {
            return false;
        }
        item.kind = entity->Kind == KTB_TAG_DISC ? DiscItem : FolderItem;
        item.ref = entry->fileset;
        item.offset = entity->Offset;
        item.flags = entity->disc() != nullptr ? entity->disc()->Flags : 0;
        return true;
    }
    case SearchItem:
        break;
    }
    return false;
}

bool CatalogList::selectionIsCurrent() const
{
    if (kind != FilesetItem || view == nullptr || view->selectionModel() == nullptr) {
        return true;
    }
    try {
        for (const QModelIndex& index : view->selectionModel()->selectedRows()) {
            if (index.row() < 0 || index.row() >= entities.count()) {
                continue;
            }
            const EntityEntry* entry = entities.at(sourceRow(index.row()));
            const TKTBDisc* disc = entry->entity->disc();
            if (disc != nullptr && !isDiscStillAt(entry->fileset->handle(), { entry->entity->Offset, *disc })) {
                return false;
            }
        }
    } catch (...) {
        return false; // a catalog that cannot be read names no disc
    }
    return true;
}

bool CatalogList::showsRecordsOf(const Fileset* fileset) const
{
    return fileset != nullptr && shown && shown->ref == fileset
        && (shown->kind == FilesetItem || shown->kind == DiscItem || shown->kind == FolderItem);
}
