#pragma once
// Importing discs into a fileset: the discs of a JSON export, or one disc made from a plain list of
// "size<TAB>path" lines. Each disc is built in a scratch catalog and appended to the fileset through
// the program's one recording road (DiscRecording::transplant), so every disc is one change with the
// fileset's crash safety; a disc whose serial the fileset holds already is refused, as a scan would
// refuse it. The JSON is read as a stream: memory stays flat whatever the document's size.

#include "core/catalog/scratchcatalog.h"
#include "engine/ktbdef.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

struct TKTBHandle;

struct ImportOptions {
    /// The discs of a document to import, by their place in it (0: its first disc, counted over every
    /// fileset of the document); empty: every disc.
    std::vector<std::uint32_t> discs;
    /// A list's disc: its title (empty: the list file's name without its extension) and its serial.
    QString title;
    std::uint32_t serial = 0;
};

struct ImportedDisc {
    QString title;
    std::uint32_t serial = 0;
    std::uint32_t offset = 0; ///< where it is in the fileset
    std::uint32_t files = 0;
    std::uint32_t folders = 0;
};

struct ImportResult {
    std::vector<ImportedDisc> imported;
    /// The discs left out because the fileset holds their serials, for the user:
    /// "\"CD 1\" (serial 0000-1234): the fileset holds this disc already".
    QStringList refused;
    /// Why the import stopped, for the user (the discs imported before stay); empty when it ran to
    /// its end or was cancelled.
    QString error;
    bool cancelled = false;
};

Q_DECLARE_METATYPE(ImportResult)

class CatalogImport {
public:
    using ProgressListener = std::function<void(std::uint64_t done, std::uint64_t total)>;

    /// Imports into the fileset open for changes behind destination (its file named destinationName in
    /// messages), making scratch catalogs as layout says.
    CatalogImport(TKTBHandle* destination, const QString& destinationName, ScratchLayout layout);

    /// Imports a JSON export or a list: a file whose first character other than a blank is "{" is
    /// read as JSON.
    ImportResult importFile(const QString& path, const ImportOptions& options);
    ImportResult importJson(const QString& path, const ImportOptions& options);
    ImportResult importList(const QString& path, const ImportOptions& options);

    /// Asks the import to stop at its next entry; the disc being built is not appended. Any thread.
    void requestStop() { m_stop.store(true); }
    /// Called with the bytes of the file read, a few times a second at most, on the importing thread.
    ProgressListener onProgress;

private:
    friend class JsonDiscReader;
    /// Builds a disc with build and appends it; false (result.error set) when the import must stop.
    bool appendDisc(const std::function<TKTBERROR(TKTBHandle* scratch, TKTBDisc& disc, QString& error)>& build,
        ImportResult& result);
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }
    void noteProgress(std::uint64_t done);

    TKTBHandle* m_destination;
    QString m_destinationName;
    ScratchLayout m_layout;
    std::atomic_bool m_stop { false };
    std::uint64_t m_total = 0;
    std::int64_t m_nextProgress = 0;
};
