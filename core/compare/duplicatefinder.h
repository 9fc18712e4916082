#pragma once
// Files stored more than once across the chosen filesets, and discs catalogued twice.
//
// Files are grouped by size first and names are compared only within a size: the walk keeps 16 bytes a
// file (size, a hash of the folded name, where it is), sorts them by size and hash, and a second walk
// over the catalogs that hold candidates reads their names and places, so the names are compared
// exactly (foldedName) and only where size and hash agree.

#include "core/companion/catalogwalk.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class CompanionCatalogs;

struct DuplicateOptions {
    bool sizeOnly = false; ///< group files by size alone, whatever their names
    bool sameDate = false; ///< the last change must be the same too
    std::uint32_t minimumSize = 1; ///< smaller files are left out; empty files waste nothing and never count
};

/// A file of a catalog and where it is.
struct FileLocation {
    int catalog = -1;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t dateTime = 0;
    QString name;
    QString folderPath; ///< the tree's path of the disc or folder holding it: "Owner\Fileset\Disc\Folder\"
};

struct DuplicateGroup {
    std::vector<FileLocation> files; ///< by catalog, then in file order
    std::uint32_t size() const { return files.empty() ? 0 : files.front().size; }
    /// The bytes all copies but one take.
    std::uint64_t wasted() const { return files.empty() ? 0 : std::uint64_t(size()) * (files.size() - 1); }
};

struct DiscLocation {
    int catalog = -1;
    std::uint32_t offset = 0;
    std::uint32_t serial = 0;
    QString title;
    std::uint64_t files = 0;
};

/// A disc catalogued more than once.
struct RepeatedDisc {
    enum class Reason {
        SameSerial, ///< the same serial number in more than one place
        SameTree, ///< the same folders and files (names, sizes, dates) under different serial numbers
    };
    Reason reason = Reason::SameSerial;
    std::vector<DiscLocation> discs; ///< by catalog, then in file order
};

struct DuplicateReport {
    std::vector<DuplicateGroup> groups; ///< the most wasted bytes first, then the larger files
    std::vector<RepeatedDisc> discs; ///< by the first disc's place
    std::uint64_t filesWalked = 0;
    bool complete = true; ///< false when stopped or a catalog could not be read whole
    QStringList faults;

    std::uint64_t wasted() const;
    std::uint64_t duplicateFiles() const; ///< the copies beyond the first of each group
};

/// Walks the targets of walk (CatalogWalk::run, which calls walk.onProgress on this thread), then the
/// catalogs that hold candidates once more, and answers the groups. A stop request of walk ends both.
DuplicateReport findDuplicates(const CompanionCatalogs& catalogs, CatalogWalk& walk, const DuplicateOptions& options);
