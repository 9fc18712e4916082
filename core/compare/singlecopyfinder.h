#pragma once
// Files held on exactly one medium across the chosen filesets: what a dead drive or a scratched disc
// would take with it. A file's copies are the files with the same folded name (foldedName) and size,
// and the same date when asked, anywhere in the filesets; discs with the same serial number are one
// medium (the same disc catalogued twice).
//
// The first walk keeps 16 bytes a file (size, a hash of the folded name, where it is) in
// blocks, spread by size over parts that are sorted side by side as the duplicate finder does. A file
// whose size no other file has, or whose size and hash only files of its own medium share, has no copy
// elsewhere; names are read in a second walk only where files of one size and hash lie on several
// media. The report keeps the places of the files that have a copy elsewhere (8 bytes each, usually
// few) and the counts per medium; the single-copy files themselves are read again, medium by medium,
// when they are listed (listSingleCopies).

#include "core/companion/catalogwalk.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CompanionCatalogs;

struct SingleCopyOptions {
    bool sameDate = false; ///< a copy must have the same date of last change too
    std::uint32_t minimumSize = 1; ///< smaller files are left out; empty files put nothing at risk
};

/// One disc record of a medium.
struct MediumDisc {
    int catalog = -1;
    std::uint32_t offset = 0;
    std::uint32_t target = 0; ///< the first walk's target that holds it
};

/// A medium holding files that no other medium holds.
struct SingleCopyMedium {
    QString title; ///< its first disc's title
    QString path; ///< the tree's path of its first disc: "Owner\Fileset\Disc\"
    std::uint32_t serial = 0;
    std::uint32_t scanTime = 0; ///< the latest scan of its discs (packed DOS date-time; 0 unknown)
    std::vector<MediumDisc> discs; ///< in the order the walk met them
    std::uint64_t files = 0; ///< files with no copy on another medium
    std::uint64_t bytes = 0; ///< their bytes: what is at risk
};

struct SingleCopyReport {
    /// The media with single-copy files: the most bytes at risk first, then the oldest scan (unknown
    /// first), then in the walk's order.
    std::vector<SingleCopyMedium> media;
    SingleCopyOptions options;
    std::uint64_t filesWalked = 0;
    std::uint64_t singleFiles = 0;
    std::uint64_t bytesAtRisk = 0;
    bool complete = true; ///< false when stopped or a catalog could not be read whole
    QStringList faults;
    std::vector<WalkTarget> targets; ///< the first walk's
    /// Per target of the first walk, the offsets (ascending) of the files counted that have a copy on
    /// another medium: every other file of at least the minimum size is a single copy.
    std::vector<std::vector<std::uint32_t>> copied;
};

/// Walks the targets of walk (CatalogWalk::run, which calls walk.onProgress on this thread), then, where
/// needed, the catalogs whose files' names must be compared, and answers the media at risk. A stop
/// request of walk ends both.
SingleCopyReport findSingleCopies(
    const CompanionCatalogs& catalogs, CatalogWalk& walk, const SingleCopyOptions& options);

/// One single-copy file as the listing meets it; texts are catalog bytes (decodeCatalogText).
struct SingleCopyFile {
    std::size_t medium = 0; ///< index into the report's media
    int catalog = -1;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t dateTime = 0;
    std::string_view name;
    std::span<const std::string> folders; ///< the disc's title and the folders' names, outermost first
    std::uint32_t folderOffset = 0; ///< the folder's (or the disc's) record: the same for the files of one folder
    std::string_view folderPath; ///< the tree's path of the folder holding it, UTF-8: "Owner\Fileset\Disc\Folder\"
    std::string_view pathInDisc; ///< the end of folderPath below the disc: "Folder\" ("" at the top)
};

/// Lists the single-copy files of the chosen media of the report (indexes into its media; empty: all),
/// medium by medium in the order given, each medium's discs in the order of the report. format runs on
/// a walk's worker thread for every file of one medium in turn and appends what it makes of it to that
/// medium's text; deliver gets each medium's whole text, one call at a time, in the order given. The walk
/// follows first's stop request and progress (first is the walk the report came from). Answers false
/// when stopped; catalogs that could not be read are added to faults.
bool listSingleCopies(const CompanionCatalogs& catalogs, const SingleCopyReport& report,
    const std::vector<std::size_t>& media, CatalogWalk& first,
    const std::function<void(const SingleCopyFile& file, std::string& text)>& format,
    const std::function<void(std::size_t medium, const std::string& text)>& deliver, QStringList& faults);

/// The CSV header of the single-copy files, "Medium,Serial,Scanned,Folder,Name,Size,Date", with its line
/// end (as the other tasks' CSV: RFC 4180, CR LF, dates "YYYY-MM-DD HH:MM:SS").
QString singleCopyCsvHeader();
/// One CSV line of a single-copy file of medium, with its line end.
QString singleCopyCsvLine(const SingleCopyMedium& medium, const SingleCopyFile& file);
