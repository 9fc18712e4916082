#pragma once
// The disc-matches list of the search panel.

#include "gui/search/searchresultmodel.h"

#include <QIcon>
#include <QList>

/// "Title", "Owner", "File Matches", "Folder Matches" and "Fileset" of the discs with matches.
class DiscResultModel : public SearchResultModel {
    Q_OBJECT
public:
    explicit DiscResultModel(const CatalogSearch& search, QObject* parent = nullptr);

    /// The images of the list (the window's shared small images; index 4 is shown).
    void setDiscImages(const QList<QIcon>& images) { m_discImages = images; }
    const QList<QIcon>& discImages() const { return m_discImages; }

protected:
    QStringList captions() const override;
    QVariant cell(const EntityEntry& entry, int column, int role) const override;
    SortKey sortKey(const EntityEntry& entry, int column) const override;

private:
    QList<QIcon> m_discImages;
};
