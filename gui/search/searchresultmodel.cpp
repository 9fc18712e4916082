#include "gui/search/searchresultmodel.h"

#include "core/filesets/fileset.h"
#include "core/search/catalogsearch.h"
#include "core/settings/shell.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "engine/ktb_utils.h"

namespace {

constexpr int s_discImage = 4; // the data disc of the shared small images

bool isShownRole(int role) { return role == Qt::DisplayRole || role == Qt::DecorationRole || role == ImageIndexRole; }

} // namespace

TSearchResultModel::TSearchResultModel(const TSearchHelper& helper)
    : m_helper(helper)
{
}

int TSearchResultModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int TSearchResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(captions().size());
}

QVariant TSearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    const QStringList names = captions();
    return section >= 0 && section < names.size() ? QVariant(names.at(section)) : QVariant();
}

QVariant TSearchResultModel::data(const QModelIndex& index, int role) const
{
    if (!isShownRole(role) || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    // A row whose catalog cannot be read any more shows empty cells; the command that opens it reports.
    try {
        const TEntityEntry* entry = entryAt(index.row());
        if (entry == nullptr || entry->Entity == nullptr) {
            return {};
        }
        return cell(*entry, index.column(), role);
    } catch (...) {
        return {};
    }
}

void TSearchResultModel::showRows(int rows)
{
    beginResetModel();
    endChange(rows);
}

void TSearchResultModel::endChange(int rows)
{
    m_rows = rows;
    endResetModel();
}

// ---------------------------------------------------------------------------------------------

QStringList TDiscResultModel::captions() const
{
    return { QStringLiteral("Title"), QStringLiteral("Owner"), QStringLiteral("File Matches"),
        QStringLiteral("Folder Matches") };
}

const TEntityEntry* TDiscResultModel::entryAt(int row) const
{
    return row < m_helper.DiscResults.Count() ? m_helper.DiscResults.Items(row) : nullptr;
}

QVariant TDiscResultModel::cell(const TEntityEntry& entry, int column, int role) const
{
    const TKTBDisc* disc = entry.Entity->disc();
    if (disc == nullptr) {
        return {};
    }
    if (column == 0 && role == ImageIndexRole) {
        return s_discImage;
    }
    if (column == 0 && role == Qt::DecorationRole) {
        const QList<QIcon>& images = m_helper.DiscImages();
        return s_discImage < images.size() ? QVariant(images.at(s_discImage)) : QVariant();
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (column) {
    case 0:
        return decodeCatalogText(ktbFieldText(disc->Title, sizeof disc->Title));
    case 1:
        return entry.Fileset != nullptr ? entry.Fileset->GetOwner() : QString();
    case 2:
        return QString::number(disc->Files);
    case 3:
        return QString::number(disc->Folders);
    default:
        return {};
    }
}

// ---------------------------------------------------------------------------------------------

QStringList TFileResultModel::captions() const
{
    return { QStringLiteral("Name"), QStringLiteral("Location"), QStringLiteral("Size"), QStringLiteral("Modified") };
}

const TEntityEntry* TFileResultModel::entryAt(int row) const
{
    return row < m_helper.FileResults.Count() ? m_helper.FileResults.Items(row) : nullptr;
}

QVariant TFileResultModel::cell(const TEntityEntry& entry, int column, int role) const
{
    const TKTBEntity& entity = *entry.Entity;
    const _int_File* file = entity.file();
    if (file == nullptr && entity.folderName() == nullptr) {
        return {};
    }
    if (column == 0 && (role == ImageIndexRole || role == Qt::DecorationRole)) {
        // A file's icon goes by its name alone; a folder gets the folder icon.
        const int image = SysIconIndex(file != nullptr ? decodeCatalogText(file->Name) : QString(), false);
        if (role == ImageIndexRole) {
            return image;
        }
        return image >= 0 ? QVariant(SystemImages().icon(image)) : QVariant();
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (column) {
    case 0:
        return decodeCatalogText(entity.name());
    case 1:
        return TSearchHelper::DiscTitleOf(entry);
    case 2:
        return file != nullptr ? FormatSize(file->Size) : QString();
    case 3:
        return file != nullptr ? formatDosDateTime(file->DateTime) : QString();
    default:
        return {};
    }
}
