#include "gui/search/searchresultmodel.h"

#include "core/filesets/fileset.h"
#include "core/filesets/owner.h"
#include "core/search/catalogsearch.h"
#include "core/settings/shell.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "engine/ktb_utils.h"

namespace {

constexpr int s_discImage = 4; // the data disc of the shared small images

bool isShownRole(int role) { return role == Qt::DisplayRole || role == Qt::DecorationRole || role == ImageIndexRole; }

} // namespace

SearchResultModel::SearchResultModel(const CatalogSearch& helper)
    : m_helper(helper)
{
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

void SearchResultModel::showRows(int rows)
{
    beginResetModel();
    endChange(rows);
}

void SearchResultModel::endChange(int rows)
{
    m_rows = rows;
    endResetModel();
}

// ---------------------------------------------------------------------------------------------

QStringList DiscResultModel::captions() const
{
    return { QStringLiteral("Title"), QStringLiteral("Owner"), QStringLiteral("File Matches"),
        QStringLiteral("Folder Matches") };
}

const EntityEntry* DiscResultModel::entryAt(int row) const
{
    return row < m_helper.discResults.count() ? m_helper.discResults.at(row) : nullptr;
}

QVariant DiscResultModel::cell(const EntityEntry& entry, int column, int role) const
{
    const TKTBDisc* disc = entry.entity->disc();
    if (disc == nullptr) {
        return {};
    }
    if (column == 0 && role == ImageIndexRole) {
        return s_discImage;
    }
    if (column == 0 && role == Qt::DecorationRole) {
        const QList<QIcon>& images = m_helper.discImages();
        return s_discImage < images.size() ? QVariant(images.at(s_discImage)) : QVariant();
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (column) {
    case 0:
        return decodeCatalogText(ktbFieldText(disc->Title, sizeof disc->Title));
    case 1:
        return entry.fileset != nullptr ? entry.fileset->owner() : QString();
    case 2:
        return QString::number(disc->Files);
    case 3:
        return QString::number(disc->Folders);
    default:
        return {};
    }
}

// ---------------------------------------------------------------------------------------------

QStringList FileResultModel::captions() const
{
    return { QStringLiteral("Name"), QStringLiteral("Location"), QStringLiteral("Size"), QStringLiteral("Modified") };
}

const EntityEntry* FileResultModel::entryAt(int row) const
{
    return row < m_helper.fileResults.count() ? m_helper.fileResults.at(row) : nullptr;
}

QVariant FileResultModel::cell(const EntityEntry& entry, int column, int role) const
{
    const TKTBEntity& entity = *entry.entity;
    const TKTBFileData* file = entity.file();
    if (file == nullptr && entity.folderName() == nullptr) {
        return {};
    }
    if (column == 0 && (role == ImageIndexRole || role == Qt::DecorationRole)) {
        // A file's icon goes by its name alone; a folder gets the folder icon.
        const int image = systemIconIndex(file != nullptr ? decodeCatalogText(file->Name) : QString(), false);
        if (role == ImageIndexRole) {
            return image;
        }
        return image >= 0 ? QVariant(systemIcons().icon(image)) : QVariant();
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (column) {
    case 0:
        return decodeCatalogText(entity.name());
    case 1:
        return CatalogSearch::discTitleOf(entry);
    case 2:
        return file != nullptr ? formatSize(file->Size) : QString();
    case 3:
        return file != nullptr ? formatDosDateTime(file->DateTime) : QString();
    default:
        return {};
    }
}
