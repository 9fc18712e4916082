#pragma once
// What the compare task compares: two discs, two filesets, or a disc and a folder, disc image or drive,
// in any mix.
//
//     const CompareSource first = CompareSource::disc(catalog, offset);
//     const CompareSource second = CompareSource::location("/home/anna/Music");
//     CatalogWalk walk(comparisonTargets(first, second, catalogs));
//     const TreeComparison comparison = compareSources(first, second, catalogs, walk);

#include "core/companion/catalogwalk.h"
#include "core/compare/treecomparison.h"

#include <QString>
#include <cstdint>
#include <vector>

class CompanionCatalogs;

struct CompareSource {
    enum class Kind { Fileset, Disc, Location };
    Kind kind = Kind::Location;
    int catalog = -1; ///< a fileset or disc: the index among the companion's catalogs
    std::uint32_t disc = 0; ///< a disc: its offset
    QString location; ///< a folder, a disc image or a drive letter ("D:")

    static CompareSource fileset(int catalog) { return { Kind::Fileset, catalog, 0, {} }; }
    static CompareSource discOf(int catalog, std::uint32_t offset) { return { Kind::Disc, catalog, offset, {} }; }
    static CompareSource place(const QString& location) { return { Kind::Location, -1, 0, location }; }

    /// For headings: the fileset's description, "Fileset\Disc title" or the location.
    QString describe(const CompanionCatalogs& catalogs) const;
};

/// The catalog parts of the two sources, one target a catalog (a disc compared with another disc of its
/// fileset is walked in the same target).
std::vector<WalkTarget> comparisonTargets(
    const CompareSource& first, const CompareSource& second, const CompanionCatalogs& catalogs);

/// Compares the two sources: a location is walked on this thread first (stopped by the walk's stop
/// request), then the walk (made of comparisonTargets) runs. Paths are those in the disc, or in the
/// fileset with the disc's title first; a location's path starts below its top folder.
TreeComparison compareSources(
    const CompareSource& first, const CompareSource& second, const CompanionCatalogs& catalogs, CatalogWalk& walk);
