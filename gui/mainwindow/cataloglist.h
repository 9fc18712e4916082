#pragma once
// The list view beside the tree: the owners, the filesets of an owner, the discs of a fileset, or the
// folders and files of a disc or folder. A virtual list: texts are made only for rows that are drawn.

#include "core/filesets/entitylist.h"
#include "core/filesets/itemref.h"
#include "core/settings/settings.h"
#include "gui/mainwindow/cataloglistmodel.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class QTreeView;
class ImageList;
class Owner;
class Fileset;

/// The number of rows and the bytes they stand for (a fileset's discs' data, a disc's used space, a
/// file's size); hasBytes is false for owners, whose rows stand for no size.
struct CatalogListTotals {
    int rows = 0;
    std::uint64_t bytes = 0;
    bool hasBytes = false;
};

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

    /// Sorts the rows by a column (a click on its header), folders staying before files; column -1 is
    /// the list's own order (owners and filesets as their lists hold them, discs, folders and files by
    /// name). The order holds for every fill of the same kind; another kind starts in its own order.
    void sortBy(int column, Qt::SortOrder order);
    int sortColumn() const { return m_sortColumn; }
    /// The row of the list's own order that a row of the view shows, and back.
    int sourceRow(int row) const;
    int viewRow(int source) const;
    /// The totals of the rows of the view given, or of every row when rows is empty.
    CatalogListTotals totals(const QList<int>& rows = {}) const;
    /// The setting that keeps the column widths of a kind's layout.
    static SettingKey columnsSetting(ItemKind kind);
    /// Keeps the widths of the columns shown (a change of layout, the window's close).
    void saveColumnWidths() const;

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
    void applyOrder();
    /// The widths of the columns the user can resize, in order.
    QList<int> resizableWidths() const;
    /// Whether source row a goes before b by the sort column (strictly).
    bool sortsBefore(int a, int b) const;
    std::uint64_t rowBytes(int source) const;
    QVariant ownerRow(int row, int column, int role) const;
    QVariant filesetRow(int row, int column, int role) const;
    QVariant discRow(int row, int column, int role) const;
    QVariant itemRow(int row, int column, int role) const;

    bool m_columnsBuilt = false;
    /// resizableWidths as the layout was built (with the widths kept for it).
    QList<int> m_builtWidths;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    /// View row to source row while sorted by a column; empty for the list's own order.
    std::vector<int> m_order;
    /// Source row to view row while sorted.
    std::vector<int> m_shownAt;
};

/// The process-wide list-view controller; created and released by the program's entry.
extern CatalogList* g_catalogList;
