#pragma once
// The files of a local folder that no disc of the chosen filesets holds, so they still need a backup: a
// file is held by a disc that has a file of the same name (the search's letter-case rule) and size (as a
// catalog holds it, modulo 2^32), and with dates compared, the same date at two seconds.

#include "core/companion/catalogwalk.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

class CompanionCatalogs;

struct MissingOptions {
    bool sameDate = false; ///< a disc holds a file only with the same last change too
};

struct LocalFile {
    static constexpr std::size_t ShownHolders = 3;

    std::string path; ///< below the folder, names joined by "/" (the file system's bytes)
    std::uint64_t size = 0; ///< the size in the file system
    std::uint32_t dateTime = 0; ///< packed local DOS date-time, as a catalog would hold it
    std::uint64_t holders = 0; ///< the discs' files that hold it
    /// The first ShownHolders of them as tree paths ("Owner\Fileset\Disc\Folder\Name"), in catalog order.
    QStringList shownHolders;

    bool held() const { return holders > 0; }
};

struct MissingReport {
    QString folder;
    std::vector<LocalFile> files; ///< every file of the folder, in tree order (folders are not listed)
    std::uint64_t missingFiles = 0;
    std::uint64_t missingBytes = 0; ///< the sum of the missing files' sizes
    std::uint64_t heldFiles = 0;
    bool complete = true; ///< false when stopped or something could not be read whole
    QStringList faults;
};

/// Walks the local folder (a folder, disc image or drive letter; on this thread, stopped by walk's stop
/// request), then the targets of walk (CatalogWalk::run, which calls walk.onProgress on this thread).
MissingReport findMissing(
    const QString& folder, const CompanionCatalogs& catalogs, CatalogWalk& walk, const MissingOptions& options);
