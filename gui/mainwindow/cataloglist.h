#pragma once
// The list view beside the tree: the owners, the filesets of an owner, the discs of a fileset, or the
// folders and files of a disc or folder. A virtual list: texts are made only for rows that are drawn.

#include "core/filesets/entitylist.h"
#include "core/filesets/itemref.h"
#include "gui/mainwindow/cataloglistmodel.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

class QTreeView;
class ImageList;
class Owner;
class Fileset;

/// One column of a layout.
struct CatalogListColumn {
    QString caption;
    int width; ///< pixels
    bool automatic; ///< takes the width left over
    Qt::Alignment alignment;
};

class CatalogList {
public:
    CatalogList();
    ~CatalogList();
    CatalogList(const CatalogList&) = delete;
    CatalogList& operator=(const CatalogList&) = delete;

    /// Binds the view: the model becomes its model; builds the columns of the current kind.
    void attach(QTreeView* view);
    void setKind(ItemKind kind);
    void buildColumns(ItemKind kind);
    /// Shows the contents of a node (none: empty, the columns stay).
    void fill(const ItemRef* node);
    /// The data of one cell for a role; never throws (a row whose catalog cannot be read is empty).
    QVariant cellData(int row, int column, int role) const;
    /// One record per selected row in the view's order of selection, for owner, fileset and disc rows.
    bool selection(ItemRefs& items) const;
    /// The first row whose title or name equals name ignoring ASCII case, or -1.
    int findRow(const QString& name) const;
    /// The row of the disc, folder or file whose record is at offset, or -1.
    int findRowByOffset(std::uint32_t offset) const;
    /// What a row stands for: an owner, a fileset, a disc or a folder (the child node it opens); false
    /// for a file row and rows out of range.
    bool rowItem(int row, ItemRef& item) const;
    /// Whether every selected disc row still names the disc it showed: false when the disc was deleted,
    /// moved or rescanned since the list was filled.
    bool selectionIsCurrent() const;
    /// Whether the rows are records of the fileset (its discs, or a disc's or folder's contents), whose
    /// offsets change with its catalog.
    bool showsRecordsOf(const Fileset* fileset) const;
    void clear();

    /// The columns of a kind.
    static const QList<CatalogListColumn>& columnsOf(ItemKind kind);
    /// The caption of a row (owner name, fileset description, disc title, folder or file name).
    QString rowCaption(int row) const;
    int rowCount() const;

    QTreeView* view = nullptr;
    EntityList entities;
    Owner* owner = nullptr;
    ItemKind kind = OwnersItem;
    const ImageList* smallImages = nullptr;
    CatalogListModel* model;
    /// What the rows show: the node last filled; none after clear.
    std::optional<ItemRef> shown;

private:
    QVariant ownerRow(int row, int column, int role) const;
    QVariant filesetRow(int row, int column, int role) const;
    QVariant discRow(int row, int column, int role) const;
    QVariant itemRow(int row, int column, int role) const;
};

/// The process-wide list-view controller; created and released by the program's entry.
extern CatalogList* g_catalogList;
