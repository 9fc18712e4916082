#pragma once
// The two result lists of the search panel: their models over the search's lists, and the selection
// of the views that show them.
//
// Use (window thread):
//     auto* lists = new SearchResultLists(*g_catalogSearch, window);
//     lists->discModel()->setDiscImages(smallImages);        // index 4 is the data disc
//     discResultsView->setModel(lists->discModel());
//     lists->attachDiscView(discResultsView->selectionModel());
//     fileResultsView->setModel(lists->fileModel());
//     lists->attachFileView(fileResultsView->selectionModel());

#include <QObject>
#include <QPointer>
#include <QString>

class QItemSelectionModel;
class CatalogSearch;
class DiscResultModel;
class FileResultModel;
struct EntityEntry;

/// Owns the two models; the search must outlive the object.
class SearchResultLists : public QObject {
    Q_OBJECT
public:
    explicit SearchResultLists(const CatalogSearch& search, QObject* parent = nullptr);
    ~SearchResultLists() override;

    DiscResultModel* discModel() const { return m_discModel; }
    FileResultModel* fileModel() const { return m_fileModel; }

    /// Follows the selection of the disc-matches list; selection->model() must be discModel(), else
    /// nothing is attached and the answer is false. Null detaches.
    bool attachDiscView(QItemSelectionModel* selection);
    /// Follows the selection of the file-matches list; selection->model() must be fileModel().
    bool attachFileView(QItemSelectionModel* selection);

    /// The row of the first selected disc result, or -1.
    int selectedDiscRow() const;
    /// The row of the first selected file result, or -1.
    int selectedFileRow() const;
    /// The result the first selected row shows (rows may be sorted), or null.
    const EntityEntry* selectedDiscEntry() const;
    const EntityEntry* selectedFileEntry() const;
    /// Owner + "\" + fileset description + "\" + disc title + "\" of the selected disc result; empty
    /// with no row selected. Raises CatalogError when the fileset cannot be opened.
    QString selectedDiscPath() const;
    /// CatalogSearch::resultPath of the selected file result; empty with no row selected.
    QString selectedFilePath() const;

private:
    const CatalogSearch& m_search;
    DiscResultModel* m_discModel;
    FileResultModel* m_fileModel;
    QPointer<QItemSelectionModel> m_discSelection;
    QPointer<QItemSelectionModel> m_fileSelection;
};
