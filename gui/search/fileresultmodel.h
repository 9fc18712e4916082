#pragma once
// The file-matches list of the search panel.

#include "gui/search/searchresultmodel.h"

/// "Name", "Location", "Size", "Modified", "In folder" and "Fileset" of the matching folders and files.
/// The folder paths are read from the catalogs only for the rows drawn or sorted.
class FileResultModel : public SearchResultModel {
    Q_OBJECT
public:
    explicit FileResultModel(const CatalogSearch& search, QObject* parent = nullptr);

protected:
    QStringList captions() const override;
    QVariant cell(const EntityEntry& entry, int column, int role) const override;
    SortKey sortKey(const EntityEntry& entry, int column) const override;
};
