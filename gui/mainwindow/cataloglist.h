#pragma once
// The list view beside the tree: the owners, the filesets of an owner, the discs of a fileset, or the
// folders and files of a disc or folder. A virtual list: texts are made only for rows that are drawn.

#include "core/filesets/entitylist.h"

#include <QAbstractTableModel>
#include <QString>
#include <functional>

class QTreeView;
class TImageList;
class TKTBOwner;
class TListHelper;

/// The model behind the list view; every question goes to the helper's ListData.
class TListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TListModel(TListHelper* helper);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    /// Starts over with another row count and column layout.
    void reset(int rows);

    /// Called when the user finished editing a caption in place (renaming, in the window).
    std::function<void(int row, const QString& text)> OnCaptionEdited;
    /// Whether a row's caption may be edited in place.
    std::function<bool(int row)> OnCanEdit;

private:
    TListHelper* m_helper;
    int m_rows = 0;
};

/// One column of a layout.
struct TListColumn {
    QString Caption;
    int Width; ///< pixels
    bool Automatic; ///< takes the width left over
    Qt::Alignment Alignment;
};

class TListHelper {
public:
    TListHelper();
    ~TListHelper();
    TListHelper(const TListHelper&) = delete;
    TListHelper& operator=(const TListHelper&) = delete;

    /// Binds the view: the model becomes its model; builds the columns of the current kind.
    void Attach(QTreeView* view);
    void SetKind(TItemKind kind);
    void BuildColumns(TItemKind kind);
    /// Shows the contents of a node (none: empty, the columns stay).
    void Fill(const TItemData* node);
    /// The data of one cell for a role; never throws (a row whose catalog cannot be read is empty).
    QVariant ListData(int row, int column, int role) const;
    /// One record per selected row in the view's order of selection, for owner, fileset and disc rows.
    bool GetSelection(TItemDataArray& items) const;
    /// The first row whose title or name equals name ignoring ASCII case, or -1.
    int FindRow(const QString& name) const;
    void Clear();

    /// The columns of a kind.
    static const QList<TListColumn>& ColumnsOf(TItemKind kind);
    /// The caption of a row (owner name, fileset description, disc title, folder or file name).
    QString RowCaption(int row) const;
    int RowCount() const;

    QTreeView* View = nullptr;
    TEntityList Entities;
    TKTBOwner* Owner = nullptr;
    TItemKind Kind = ikOwners;
    const TImageList* SmallImages = nullptr;
    TListModel* Model;

private:
    QVariant ownerRow(int row, int column, int role) const;
    QVariant filesetRow(int row, int column, int role) const;
    QVariant discRow(int row, int column, int role) const;
    QVariant itemRow(int row, int column, int role) const;
};

/// The process-wide list-view controller; created and released by the program's entry.
extern TListHelper* ListHelper;
