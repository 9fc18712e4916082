#pragma once
// The search over chosen filesets: walks each catalog once with the engine's name test, keeps the
// matching folders and files (at most resultLimit()) and the discs that have matches or whose title
// holds the text. The windows show the two lists through models that follow the signals below.
//
// Use (window thread):
//     g_catalogSearch->onProgress = [this](CatalogSearch* search) { onSearchProgress(search); };
//     g_catalogSearch->setSearchText(searchEdit->text());
//     g_catalogSearch->search(chosenIndexes);
//
// The lists change only between a ...AboutToChange signal and its ...Changed signal, and while a search
// runs: a search empties both lists (announced), fills them without a word, and announces them again
// when it ends. So a view that shows the counts of the last ...Changed signal never sees a list in the
// middle of a search.

#include "core/filesets/entitylist.h"
#include "core/search/searchfilter.h"
#include "engine/ktbdef.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class TIntegerList;
class Fileset;
class FilesetRegistry;
class SearchRun;

class CatalogSearch : public QObject {
    Q_OBJECT
public:
    using ProgressListener = std::function<void(CatalogSearch* sender)>;

    /// The most folder and file results a search keeps.
    static constexpr int DefaultResultLimit = 50000;

    /// Searches the filesets of registry and follows it: the results of every fileset it removes are
    /// dropped, and those of a fileset whose catalog changed are found again at their new offsets (or
    /// dropped with their disc). Without one, the filesets of g_filesetRegistry at the time of the
    /// search (whose changes are then not followed).
    explicit CatalogSearch(FilesetRegistry* registry = nullptr);
    ~CatalogSearch() override;
    CatalogSearch(const CatalogSearch&) = delete;
    CatalogSearch& operator=(const CatalogSearch&) = delete;

    /// The text the next search looks for in folder and file names (and disc titles). A text that is
    /// not empty turns the name test on for good; an empty one matches every name anyway.
    void setSearchText(const QString& text);
    QString searchText() const { return m_searchText; }
    /// What the next search keeps besides the name test (SearchFilter). With a filter that is not
    /// empty, matches are counted after it and a disc is a result only by its kept matches, not by its
    /// title. The caller checks SearchFilter::contradiction() first.
    void setFilter(const SearchFilter& filter) { m_filter = filter; }
    const SearchFilter& filter() const { return m_filter; }

    /// Runs a search over the filesets at these registry indexes, in list order, on the calling
    /// thread's behalf: the catalogs are walked by a few worker threads, and the results and their
    /// order are those of walking them one after the other. onProgress is called on the calling thread,
    /// once before any walking and then as the walk advances (a few times a second at most).
    /// A fileset that cannot be opened (moved, unmounted, damaged) is left out and named by
    /// notSearched(); the others are searched. A damaged record ends the walk of its fileset only. A
    /// failure of the listener reaches the caller; the lists then hold what was collected and the models
    /// show exactly that. A call made while a search runs (from the listener) does nothing.
    void search(const TIntegerList& list);
    /// Asks a running search to stop (for the listener, for instance on Escape): the search then ends
    /// early with what it found so far, in the usual order. Does nothing when no search runs.
    void cancel();
    /// Whether the last search was stopped by Cancel.
    bool wasCancelled() const { return m_cancelled; }

    /// A fileset whose walk a damaged record ended early; the search keeps what it found before it.
    struct WalkFault {
        const Fileset* fileset;
        TKTBERROR code;
        std::uint32_t offset; ///< the offset of the record that stopped the walk
    };
    /// The walks of the last search that a damaged record ended, in list order.
    const std::vector<WalkFault>& walkFaults() const { return m_walkFaults; }
    /// The descriptions of the filesets the last search could not open (their file names when the
    /// description cannot be read), in list order.
    const QStringList& notSearched() const { return m_notSearched; }

    /// Drops every result that refers to this fileset, so nothing shows or opens a fileset the
    /// registry deletes, while the object still exists: the search calls it for the filesets its
    /// registry removes. Called while a search runs (from the listener), it stops the search, and the
    /// fileset's results are dropped when the search ends.
    void forgetFileset(const Fileset* fileset);
    /// Finds the results of a fileset whose catalog changed at their discs' new offsets; the results of a
    /// disc that was deleted, moved away or rescanned are dropped and no longer counted in fileMatches()
    /// and folderMatches(). The search calls it for the changes its registry tells of. Called while a
    /// search runs, it drops the fileset's results as forgetFileset does.
    void followChangedFileset(Fileset* fileset);
    /// Empties both lists (the models show no rows).
    void clearResults();

    // The progress and the summary of the last search.
    std::uint64_t totalBytes() const { return m_totalBytes; }
    std::uint64_t doneBytes() const { return m_doneBytes; }
    /// Matching files found, also those beyond the limit.
    std::uint64_t fileMatches() const { return m_fileMatches; }
    /// Matching folders found, also those beyond the limit.
    std::uint64_t folderMatches() const { return m_folderMatches; }
    /// Whether the folder and file results reached resultLimit().
    bool isLimited() const { return m_limited; }
    int resultLimit() const { return m_resultLimit; }
    /// Sets the limit for the next search (at least 1).
    void setResultLimit(int limit);
    const TCompare& criteria() const { return m_criteria; }

    bool hasResults() const { return discResults.count() > 0 || fileResults.count() > 0; }
    int discResultCount() const { return discResults.count(); }

    /// The disc results (the disc entity with its fileset; its Files and Folders hold the disc's file
    /// and folder matches), sorted by title.
    EntityList discResults;
    /// The folder and file results with their fileset and Ancestors (the disc's offset, then the
    /// enclosing folders' offsets, outermost first; a folder's own offset last), folders before files,
    /// each by name.
    EntityList fileResults;

    /// Owner + "\" + fileset description + "\", then the title of the disc and the name of each
    /// enclosing folder, each followed by "\": the path of the folder (or disc) that holds a file, of
    /// the folder itself for a folder. The owner is "[Nobody]" for a fileset without owner text. Folders
    /// that cannot be found any more (fullAncestors) end the path with "...\". Raises CatalogError
    /// when the fileset cannot be opened.
    static QString resultPath(const EntityEntry& entry);
    /// The offsets of the disc and of every folder that holds a folder or file result, outermost first,
    /// a folder's own offset last; also below the 64 levels the walk keeps, whose folders are found by
    /// walking down from the deepest one kept. Null when they cannot be found (the catalog changed
    /// under the result): then the entry's ancestors are all that is known. Raises CatalogError when
    /// the fileset cannot be opened.
    static std::optional<std::vector<std::uint32_t>> fullAncestors(const EntityEntry& entry);
    /// The folders inside the disc that hold a folder or file result, as "\Music\Rock" ("\" at the
    /// disc's top); when the deeper ones cannot be found, those known and "\...\". Raises CatalogError
    /// when the fileset cannot be opened.
    static QString folderPathOf(const EntityEntry& entry);
    /// The description of the entry's fileset; empty without one. Never raises.
    static QString filesetDescriptionOf(const EntityEntry& entry);
    /// The path of a disc result.
    static QString discPath(const EntityEntry& entry);
    /// The title of the disc at the entry's first ancestor offset, read from the catalog; empty when it
    /// cannot be read or is no disc. Never raises.
    static QString discTitleOf(const EntityEntry& entry);

    ProgressListener onProgress;

signals:
    /// discResults is about to change (emptied, filled, or results dropped).
    void discResultsAboutToChange();
    /// discResults has changed; its count is what views show from now on.
    void discResultsChanged();
    /// fileResults is about to change.
    void fileResultsAboutToChange();
    /// fileResults has changed; its count is what views show from now on.
    void fileResultsChanged();

private:
    friend class SearchRun;

    void publishResults();
    void addProgress(std::uint64_t bytes);
    FilesetRegistry* registry() const;

    FilesetRegistry* m_registry;
    QString m_searchText;
    TCompare m_criteria;
    SearchFilter m_filter;
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_doneBytes = 0;
    std::uint64_t m_fileMatches = 0;
    std::uint64_t m_folderMatches = 0;
    bool m_limited = false;
    bool m_searching = false;
    bool m_cancelled = false;
    std::vector<WalkFault> m_walkFaults;
    QStringList m_notSearched;
    std::atomic_bool m_stop { false };
    SearchRun* m_run = nullptr;
    std::vector<const Fileset*> m_deletedDuringSearch;
    int m_resultLimit = DefaultResultLimit;
};

/// The process-wide search; the start-up code makes it with createCatalogSearch after the registry
/// and releases it with releaseCatalogSearch before the registry. Null outside that span.
extern CatalogSearch* g_catalogSearch;
/// Makes g_catalogSearch over g_filesetRegistry, following it; an existing one is released first.
CatalogSearch& createCatalogSearch();
/// Releases g_catalogSearch and sets it to null.
void releaseCatalogSearch();
