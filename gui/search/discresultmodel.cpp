#include "gui/search/discresultmodel.h"

#include "core/filesets/fileset.h"
#include "core/search/catalogsearch.h"
#include "core/text/catalogtext.h"
#include "engine/ktb_utils.h"

namespace {

constexpr int s_discImage = 4; // the data disc of the shared small images

} // namespace

DiscResultModel::DiscResultModel(const CatalogSearch& search, QObject* parent)
    : SearchResultModel(search, &CatalogSearch::discResults, &CatalogSearch::discResultsAboutToChange,
        &CatalogSearch::discResultsChanged, parent)
{
}

QStringList DiscResultModel::captions() const
{
    return { QStringLiteral("Title"), QStringLiteral("Owner"), QStringLiteral("File Matches"),
        QStringLiteral("Folder Matches"), QStringLiteral("Fileset") };
}

SearchResultModel::SortKey DiscResultModel::sortKey(const EntityEntry& entry, int column) const
{
    const TKTBDisc* disc = entry.entity->disc();
    if (disc == nullptr) {
        return {};
    }
    switch (column) {
    case 2:
        return { disc->Files, {} };
    case 3:
        return { disc->Folders, {} };
    default:
        return { 0, cell(entry, column, Qt::DisplayRole).toString() };
    }
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
        const QList<QIcon>& images = m_discImages;
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
    case 4:
        return CatalogSearch::filesetDescriptionOf(entry);
    default:
        return {};
    }
}
