#include "gui/search/fileresultmodel.h"

#include "core/search/catalogsearch.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "engine/ktb_utils.h"
#include "gui/common/systemicons.h"

FileResultModel::FileResultModel(const CatalogSearch& search, QObject* parent)
    : SearchResultModel(search, &CatalogSearch::fileResults, &CatalogSearch::fileResultsAboutToChange,
        &CatalogSearch::fileResultsChanged, parent)
{
}

QStringList FileResultModel::captions() const
{
    return { QStringLiteral("Name"), QStringLiteral("Location"), QStringLiteral("Size"), QStringLiteral("Modified"),
        QStringLiteral("In folder"), QStringLiteral("Fileset") };
}

SearchResultModel::SortKey FileResultModel::sortKey(const EntityEntry& entry, int column) const
{
    const TKTBFileData* file = entry.entity->file();
    switch (column) {
    case 2:
        return { file != nullptr ? file->Size : 0u, {} };
    case 3:
        return { file != nullptr ? file->DateTime : 0u, {} };
    default:
        return { 0, cell(entry, column, Qt::DisplayRole).toString() };
    }
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
    case 4:
        return CatalogSearch::folderPathOf(entry);
    case 5:
        return CatalogSearch::filesetDescriptionOf(entry);
    default:
        return {};
    }
}
