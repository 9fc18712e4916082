#pragma once
// The file-matches list of the search panel.

#include "gui/search/searchresultmodel.h"

/// "Name", "Location", "Size", "Modified" of the matching folders and files.
class FileResultModel : public SearchResultModel {
    Q_OBJECT
public:
    explicit FileResultModel(const CatalogSearch& search, QObject* parent = nullptr);

protected:
    QStringList captions() const override;
    QVariant cell(const EntityEntry& entry, int column, int role) const override;
};
