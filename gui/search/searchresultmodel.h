#pragma once
// The two result lists of the search panel as table models over CatalogSearch's entity lists: rows
// are the list entries, texts are built when a row is drawn, nothing is copied.

#include <QAbstractTableModel>

class CatalogSearch;
struct EntityEntry;

/// The role that answers a row's image index: 4 for a disc result (the shared small images), the
/// systemIconIndex of a file's name or the folder icon's index for a file result.
constexpr int ImageIndexRole = Qt::UserRole + 1;

/// Common part: the row count shown, changed only by resetting the model, so views never see a list
/// in the middle of a search.
class SearchResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SearchResultModel(const CatalogSearch& helper);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    /// Shows rows rows from now on (a model reset).
    void showRows(int rows);
    /// Starts and ends a reset around a change of the list (for callers that change it in between).
    void beginChange() { beginResetModel(); }
    void endChange(int rows);

protected:
    virtual QStringList captions() const = 0;
    virtual const EntityEntry* entryAt(int row) const = 0;
    /// The cell's value; may raise (data() answers an empty value then).
    virtual QVariant cell(const EntityEntry& entry, int column, int role) const = 0;

    const CatalogSearch& m_helper;

private:
    int m_rows = 0;
};

/// "Title", "Owner", "File Matches", "Folder Matches" of the discs with matches.
class DiscResultModel : public SearchResultModel {
    Q_OBJECT
public:
    using SearchResultModel::SearchResultModel;

protected:
    QStringList captions() const override;
    const EntityEntry* entryAt(int row) const override;
    QVariant cell(const EntityEntry& entry, int column, int role) const override;
};

/// "Name", "Location", "Size", "Modified" of the matching folders and files.
class FileResultModel : public SearchResultModel {
    Q_OBJECT
public:
    using SearchResultModel::SearchResultModel;

protected:
    QStringList captions() const override;
    const EntityEntry* entryAt(int row) const override;
    QVariant cell(const EntityEntry& entry, int column, int role) const override;
};
