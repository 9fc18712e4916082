#include "gui/mainwindow/cataloglist.h"

#include "core/filesets/fileset.h"
#include "core/settings/shell.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "engine/ktb_io.h"
#include "gui/common/appicons.h"
#include "gui/mainwindow/navigationtree.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyle>
#include <QTreeView>
#include <algorithm>

TListHelper* ListHelper = nullptr;

// ---------------------------------------------------------------------------------------------
// TListModel

TListModel::TListModel(TListHelper* helper)
    : m_helper(helper)
{
}

int TListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int TListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(TListHelper::ColumnsOf(m_helper->Kind).size());
}

QVariant TListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows) {
        return {};
    }
    return m_helper->ListData(index.row(), index.column(), role);
}

QVariant TListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) {
        return {};
    }
    const QList<TListColumn> columns = TListHelper::ColumnsOf(m_helper->Kind);
    if (section < 0 || section >= columns.size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return columns.at(section).Caption;
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(columns.at(section).Alignment | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags TListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0 && OnCanEdit && OnCanEdit(index.row())) {
        result |= Qt::ItemIsEditable;
    }
    return result;
}

bool TListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::EditRole || !OnCaptionEdited) {
        return false;
    }
    const int row = index.row();
    const QString text = value.toString();
    // The window renames and refills the list, which resets this model: answer first.
    QMetaObject::invokeMethod(
        this, [this, row, text] { OnCaptionEdited(row, text); }, Qt::QueuedConnection);
    return true;
}

void TListModel::reset(int rows)
{
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

// ---------------------------------------------------------------------------------------------
// TListHelper

TListHelper::TListHelper()
    : Model(new TListModel(this))
{
}

TListHelper::~TListHelper() { delete Model; }

const QList<TListColumn>& TListHelper::ColumnsOf(TItemKind kind)
{
    const Qt::Alignment left = Qt::AlignLeft;
    const Qt::Alignment right = Qt::AlignRight;
    static const QList<TListColumn> s_owners
        = { { QStringLiteral("Name"), 200, true, left }, { QStringLiteral("Filesets"), 120, false, left } };
    static const QList<TListColumn> s_filesets
        = { { QStringLiteral("Description"), 200, true, left }, { QStringLiteral("Discs"), 70, false, right },
              { QStringLiteral("Data"), 110, false, right }, { QStringLiteral("Modified"), 110, false, left } };
    static const QList<TListColumn> s_discs = { { QStringLiteral("Title"), 200, true, left },
        { QStringLiteral("Used Space"), 80, false, right }, { QStringLiteral("Capacity"), 80, false, right } };
    static const QList<TListColumn> s_items
        = { { QStringLiteral("Name"), 180, true, left }, { QStringLiteral("Size"), 80, false, right },
              { QStringLiteral("Modified"), 80, false, left }, { QStringLiteral("Comment"), 100, false, left } };
    static const QList<TListColumn> s_none;
    switch (kind) {
    case ikOwners:
        return s_owners;
    case ikOwner:
        return s_filesets;
    case ikFileset:
        return s_discs;
    case ikDisc:
    case ikFolder:
        return s_items;
    case ikSearch:
        break;
    }
    return s_none;
}

namespace {

// A date column is made wide enough for a date and time in the user's formats, which are often
// longer than the column's design width allows.
int fittingWidth(const QTreeView* view, const QString& caption)
{
    if (caption != QStringLiteral("Modified")) {
        return 0;
    }
    const QString sample = formatDateTime(QDateTime(QDate(2000, 12, 28), QTime(22, 58, 58)));
    return view->fontMetrics().horizontalAdvance(sample) + 3 * view->style()->pixelMetric(QStyle::PM_HeaderMargin);
}

} // namespace

void TListHelper::Attach(QTreeView* view)
{
    View = view;
    view->setModel(Model);
    BuildColumns(Kind);
}

void TListHelper::SetKind(TItemKind kind)
{
    if (kind != Kind) {
        Kind = kind;
        BuildColumns(kind);
    }
}

void TListHelper::BuildColumns(TItemKind kind)
{
    if (View == nullptr) {
        return;
    }
    Kind = kind;
    Model->reset(0);
    const QList<TListColumn> columns = ColumnsOf(kind);
    QHeaderView* header = View->header();
    header->setStretchLastSection(false);
    for (int i = 0; i < columns.size(); ++i) {
        header->setSectionResizeMode(i, columns.at(i).Automatic ? QHeaderView::Stretch : QHeaderView::Interactive);
        if (!columns.at(i).Automatic) {
            header->resizeSection(i, std::max(columns.at(i).Width, fittingWidth(View, columns.at(i).Caption)));
        }
    }
    header->setVisible(!columns.isEmpty());
}

int TListHelper::RowCount() const
{
    switch (Kind) {
    case ikOwners:
        return OwnerList != nullptr ? OwnerList->Count() : 0;
    case ikOwner:
        return Owner != nullptr ? Owner->Count() : 0;
    case ikFileset:
    case ikDisc:
    case ikFolder:
        return Entities.Count();
    case ikSearch:
        break;
    }
    return 0;
}

void TListHelper::Fill(const TItemData* node)
{
    Model->reset(0);
    Entities.Clear();
    Owner = nullptr;
    if (node == nullptr) {
        return;
    }
    SetKind(node->Kind);
    switch (node->Kind) {
    case ikOwners:
        break;
    case ikOwner:
        Owner = static_cast<TKTBOwner*>(node->Ref);
        break;
    case ikFileset: {
        auto* fileset = static_cast<TKTBFile*>(node->Ref);
        TKTBCursor* cursor = ktbFindFirstAll(fileset->Handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES | KTB_FIND_KEEP);
        while (cursor != nullptr) {
            const int index = Entities.AddEntity(cursor->Current, false);
            Entities.Items(index)->Fileset = fileset;
            if (ktbFindNext(cursor) != KTB_OK) {
                break;
            }
        }
        ktbFindClose(cursor);
        Entities.SortEntities();
        break;
    }
    case ikDisc:
    case ikFolder: {
        auto* fileset = static_cast<TKTBFile*>(node->Ref);
        TKTBCursor* cursor = ktbFindFirst(
            fileset->Handle(), KTB_FIND_NODISCS | KTB_FIND_CHILDREN | KTB_FIND_KEEP, node->Offset, nullptr);
        while (cursor != nullptr) {
            TKTBEntity* entity = cursor->Current;
            const int index = Entities.AddEntity(entity, false);
            TEntityEntry* entry = Entities.Items(index);
            entry->Fileset = fileset;
            entry->ImageIndex = entity->Kind == KTB_TAG_FILE ? SysIconIndex(decodeCatalogText(entity->name()), false)
                                                             : SysIconIndex(QString(), false);
            if (ktbFindNext(cursor) != KTB_OK) {
                break;
            }
        }
        ktbFindClose(cursor);
        Entities.SortEntities();
        break;
    }
    case ikSearch:
        break;
    }
    Model->reset(RowCount());
}

void TListHelper::Clear()
{
    Owner = nullptr;
    Entities.Clear();
    Model->reset(0);
    if (View != nullptr) {
        View->viewport()->update();
    }
}

QString TListHelper::RowCaption(int row) const { return ListData(row, 0, Qt::DisplayRole).toString(); }

QVariant TListHelper::ListData(int row, int column, int role) const
{
    if (row < 0 || row >= RowCount()) {
        return {};
    }
    try {
        switch (Kind) {
        case ikOwners:
            return ownerRow(row, column, role);
        case ikOwner:
            return filesetRow(row, column, role);
        case ikFileset:
            return discRow(row, column, role);
        case ikDisc:
        case ikFolder:
            return itemRow(row, column, role);
        case ikSearch:
            break;
        }
    } catch (...) {
        // A row whose catalog cannot be read shows empty cells; the command that failed reports it.
    }
    return {};
}

namespace {

QVariant alignmentOf(TItemKind kind, int column)
{
    const QList<TListColumn>& columns = TListHelper::ColumnsOf(kind);
    if (column < 0 || column >= columns.size()) {
        return {};
    }
    return QVariant::fromValue(columns.at(column).Alignment | Qt::AlignVCenter);
}

} // namespace

QVariant TListHelper::ownerRow(int row, int column, int role) const
{
    const TKTBOwner* owner = OwnerList->Items(row);
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (column == 0) {
            return owner->Name;
        }
        if (column == 1) {
            return QString::number(owner->Count()) + QStringLiteral(" Filesets");
        }
    } else if (role == Qt::DecorationRole && column == 0 && SmallImages != nullptr) {
        return SmallImages->Icon(imgOwner);
    } else if (role == Qt::TextAlignmentRole) {
        return alignmentOf(Kind, column);
    }
    return {};
}

QVariant TListHelper::filesetRow(int row, int column, int role) const
{
    TKTBFile* fileset = Owner->Items(row);
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
        case 0:
            return fileset->GetDescription();
        case 1:
            return QString::number(fileset->DiscCount());
        case 2:
            return FormatSize(static_cast<std::int64_t>(fileset->TotalDiscSize()));
        case 3:
            return formatDate(fileset->GetModified().date());
        default:
            break;
        }
    } else if (role == Qt::DecorationRole && column == 0 && SmallImages != nullptr) {
        return SmallImages->Icon(imgFileset);
    } else if (role == Qt::TextAlignmentRole) {
        return alignmentOf(Kind, column);
    }
    return {};
}

QVariant TListHelper::discRow(int row, int column, int role) const
{
    const TKTBEntity* entity = Entities.Items(row)->Entity;
    const TKTBDisc* disc = entity->disc();
    if (disc == nullptr) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
        case 0:
            return EntityText(entity);
        case 1:
            return FormatSize(disc->Used);
        case 2:
            return FormatSize(disc->Capacity);
        default:
            break;
        }
    } else if (role == Qt::DecorationRole && column == 0 && SmallImages != nullptr) {
        return SmallImages->Icon((disc->Flags & KTB_DISC_AUDIO) != 0 ? imgAudioDisc : imgDataDisc);
    } else if (role == Qt::TextAlignmentRole) {
        return alignmentOf(Kind, column);
    }
    return {};
}

QVariant TListHelper::itemRow(int row, int column, int role) const
{
    const TEntityEntry* entry = Entities.Items(row);
    const TKTBEntity* entity = entry->Entity;
    const _int_File* file = entity->file();
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
        case 0:
            return decodeCatalogText(entity->name());
        case 1:
            return file != nullptr ? FormatSize(file->Size) : QString();
        case 2:
            return file != nullptr ? formatDosDateTime(file->DateTime) : QString();
        case 3:
            return file != nullptr ? decodeCatalogText(file->Comment) : QStringLiteral("Folder");
        default:
            break;
        }
    } else if (role == Qt::DecorationRole && column == 0) {
        return SystemImages().icon(entry->ImageIndex);
    } else if (role == Qt::TextAlignmentRole) {
        return alignmentOf(Kind, column);
    }
    return {};
}

bool TListHelper::GetSelection(TItemDataArray& items) const
{
    items.clear();
    if (View == nullptr || View->selectionModel() == nullptr) {
        return false;
    }
    if (Kind != ikOwners && Kind != ikOwner && Kind != ikFileset) {
        return false;
    }
    // The view's order of selected rows is their order in the list.
    QList<int> rows;
    for (const QModelIndex& index : View->selectionModel()->selectedRows()) {
        rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    for (const int row : rows) {
        if (row < 0 || row >= RowCount()) {
            continue;
        }
        TItemData item;
        switch (Kind) {
        case ikOwners:
            item.Kind = ikOwner;
            item.Ref = OwnerList->Items(row);
            break;
        case ikOwner:
            item.Kind = ikFileset;
            item.Ref = Owner->Items(row);
            break;
        default: {
            const TEntityEntry* entry = Entities.Items(row);
            item.Kind = ikDisc;
            item.Ref = entry->Fileset;
            item.Offset = entry->Entity->Offset;
            item.Flags = entry->Entity->disc() != nullptr ? entry->Entity->disc()->Flags : 0;
            break;
        }
        }
        items.push_back(item);
    }
    return !items.empty();
}

int TListHelper::FindRow(const QString& name) const
{
    if (Kind != ikFileset && Kind != ikDisc && Kind != ikFolder) {
        return -1;
    }
    // Letter case counts for the ASCII letters only, as everywhere names are compared.
    for (int row = 0; row < Entities.Count(); ++row) {
        if (sameTextAscii(EntityText(Entities.Items(row)->Entity), name)) {
            return row;
        }
    }
    return -1;
}
