#pragma once
// The search over chosen filesets: walks each catalog once with the engine's name test, keeps the
// matching folders and files (at most ResultLimit) and the discs that have matches or whose title
// holds the text, and serves the two result lists of the search panel through two table models.
//
// Use (window thread):
//     ListView1->setModel(SearchHelper->DiscModel());
//     SearchHelper->SetDiscImages(imgSmall);           // index 4 is the data disc
//     SearchHelper->AttachDiscView(ListView1->selectionModel());
//     ListView2->setModel(SearchHelper->FileModel());
//     SearchHelper->AttachFileView(ListView2->selectionModel());
//     SearchHelper->OnProgress = [this](TSearchHelper* helper) { SearchProgress(helper); };
//     SearchHelper->SetSearchText(Edit_Search->text());
//     SearchHelper->Search(chosenIndexes);
//
// Both models show the lists as they were when the last search ended; their texts are built only
// when a row is drawn, and data() never throws (a row whose catalog cannot be read shows empty cells).

#include "core/filesets/entitylist.h"
#include "engine/ktbdef.h"

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAbstractTableModel;
class QItemSelectionModel;
class TDiscResultModel;
class TFileResultModel;
class TIntegerList;
class TKTBFile;
class TKTBFiles;
class TSearchRun;

class TSearchHelper {
public:
    using ProgressListener = std::function<void(TSearchHelper* sender)>;

    /// The most folder and file results a search keeps.
    static constexpr int DefaultResultLimit = 50000;

    /// Searches the filesets of registry; without one, those of FilesetList at the time of the search.
    explicit TSearchHelper(TKTBFiles* registry = nullptr);
    ~TSearchHelper();
    TSearchHelper(const TSearchHelper&) = delete;
    TSearchHelper& operator=(const TSearchHelper&) = delete;

    /// The text the next search looks for in folder and file names (and disc titles). A text that is
    /// not empty turns the name test on for good; an empty one matches every name anyway.
    void SetSearchText(const QString& text);
    QString SearchText() const { return m_searchText; }

    /// Runs a search over the filesets at these registry indexes, in list order, on the calling
    /// thread's behalf: the catalogs are walked by a few worker threads, and the results and their
    /// order are those of walking them one after the other. OnProgress is called on the calling thread,
    /// once before any walking and then as the walk advances (a few times a second at most).
    /// Raises EKTBException when a fileset cannot be opened; the lists then hold what was collected
    /// (nothing: every fileset is opened before walking) and the models show exactly that. A damaged
    /// record ends the walk of its fileset only. A call made while a search runs (from the listener)
    /// does nothing.
    void Search(const TIntegerList& list);
    /// Asks a running search to stop (for the listener, for instance on Escape): the search then ends
    /// early with what it found so far, in the usual order. Does nothing when no search runs.
    void Cancel();
    /// Whether the last search was stopped by Cancel.
    bool Cancelled() const { return m_cancelled; }

    /// A fileset whose walk a damaged record ended early; the search keeps what it found before it.
    struct TWalkFault {
        const TKTBFile* Fileset;
        TKTBERROR Code;
        std::uint32_t Offset; ///< the offset of the record that stopped the walk
    };
    /// The walks of the last search that a damaged record ended, in list order.
    const std::vector<TWalkFault>& WalkFaults() const { return m_walkFaults; }

    /// Drops every result that refers to this fileset, so nothing shows or opens a fileset the
    /// registry deletes; call it from the registry's notification, while the object still exists. Must
    /// not be called while a search runs.
    void FilesetDeleted(const TKTBFile* fileset);
    /// Empties both lists (the models show no rows).
    void ClearResults();

    // The progress and the summary of the last search.
    std::uint64_t TotalBytes() const { return m_totalBytes; }
    std::uint64_t DoneBytes() const { return m_doneBytes; }
    /// Matching files found, also those beyond the limit.
    std::uint64_t FileMatches() const { return m_fileMatches; }
    /// Matching folders found, also those beyond the limit.
    std::uint64_t FolderMatches() const { return m_folderMatches; }
    /// Whether the folder and file results reached ResultLimit.
    bool Limited() const { return m_limited; }
    int ResultLimit() const { return m_resultLimit; }
    /// Sets the limit for the next search (at least 1).
    void SetResultLimit(int limit);
    const TCompare& Criteria() const { return m_criteria; }

    bool HasResults() const { return DiscResults.Count() > 0 || FileResults.Count() > 0; }
    int DiscResultCount() const { return DiscResults.Count(); }

    /// The disc results (the disc entity with its fileset; its Files and Folders hold the disc's file
    /// and folder matches), sorted by title.
    TEntityList DiscResults;
    /// The folder and file results with their fileset and Ancestors (the disc's offset, then the
    /// enclosing folders' offsets, outermost first; a folder's own offset last), folders before files,
    /// each by name.
    TEntityList FileResults;

    // Views. The window sets DiscModel() and FileModel() on its two lists and attaches their selection
    // models, so the helper knows which row is selected.
    QAbstractTableModel* DiscModel() const;
    QAbstractTableModel* FileModel() const;
    /// Follows the selection of the disc-matches list; selection->model() must be DiscModel(), else
    /// nothing is attached and the answer is false. Null detaches.
    bool AttachDiscView(QItemSelectionModel* selection);
    /// Follows the selection of the file-matches list; selection->model() must be FileModel().
    bool AttachFileView(QItemSelectionModel* selection);
    /// The images of the disc-matches list (the window's shared small images; index 4 is shown).
    void SetDiscImages(const QList<QIcon>& images);
    const QList<QIcon>& DiscImages() const { return m_discImages; }

    /// The row of the first selected disc result, or -1.
    int SelectedDiscRow() const;
    /// The row of the first selected file result, or -1.
    int SelectedFileRow() const;
    /// Owner + "\" + fileset description + "\" + disc title + "\" of the selected disc result; empty
    /// with no row selected. Raises EKTBException when the fileset cannot be opened.
    QString SelectedDiscPath() const;
    /// ResultPath of the selected file result; empty with no row selected.
    QString SelectedFilePath() const;
    /// Owner + "\" + fileset description + "\", then the title of the disc and the name of each
    /// enclosing folder, each followed by "\": the path of the folder (or disc) that holds a file, of
    /// the folder itself for a folder. The owner is "[Nobody]" for a fileset without owner text. Raises
    /// EKTBException when the fileset cannot be opened.
    static QString ResultPath(const TEntityEntry& entry);
    /// The path of a disc result.
    static QString DiscPath(const TEntityEntry& entry);
    /// The title of the disc at the entry's first ancestor offset, read from the catalog; empty when it
    /// cannot be read or is no disc. Never raises.
    static QString DiscTitleOf(const TEntityEntry& entry);

    ProgressListener OnProgress;

private:
    friend class TSearchRun;

    void publishResults();
    void AddProgress(std::uint64_t bytes);
    TKTBFiles* registry() const;

    TKTBFiles* m_registry;
    QString m_searchText;
    TCompare m_criteria;
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_doneBytes = 0;
    std::uint64_t m_fileMatches = 0;
    std::uint64_t m_folderMatches = 0;
    bool m_limited = false;
    bool m_searching = false;
    bool m_cancelled = false;
    std::vector<TWalkFault> m_walkFaults;
    std::atomic_bool m_stop { false };
    TSearchRun* m_run = nullptr;
    std::vector<const TKTBFile*> m_deletedDuringSearch;
    int m_resultLimit = DefaultResultLimit;
    QList<QIcon> m_discImages;
    std::unique_ptr<TDiscResultModel> m_discModel;
    std::unique_ptr<TFileResultModel> m_fileModel;
    QPointer<QItemSelectionModel> m_discSelection;
    QPointer<QItemSelectionModel> m_fileSelection;
};

/// The process-wide search; the start-up code makes it with createSearchHelper after the registry
/// and releases it with releaseSearchHelper before the registry. Null outside that span.
extern TSearchHelper* SearchHelper;
/// Makes SearchHelper (over FilesetList); an existing one is released first.
TSearchHelper& createSearchHelper();
/// Releases SearchHelper and sets it to null.
void releaseSearchHelper();
