#include "core/compare/comparesource.h"

#include "core/companion/companioncatalogs.h"
#include "core/filesets/catalogerror.h"

#include <algorithm>

QString CompareSource::describe(const CompanionCatalogs& catalogs) const
{
    switch (kind) {
    case Kind::Fileset:
        return catalogs.at(catalog).description;
    case Kind::Disc: {
        QString title = QStringLiteral("offset %1").arg(disc);
        try {
            for (const CatalogDiscEntry& entry : catalogs.discs(catalog)) {
                if (entry.offset == disc) {
                    title = entry.title;
                }
            }
        } catch (const CatalogError&) {
            // Named by its offset; the walk reports the catalog.
        }
        return catalogs.at(catalog).description + QLatin1Char('\\') + title;
    }
    case Kind::Location:
        break;
    }
    return location;
}

std::vector<WalkTarget> comparisonTargets(
    const CompareSource& first, const CompareSource& second, const CompanionCatalogs& catalogs)
{
    std::vector<WalkTarget> targets;
    for (const CompareSource* source : { &first, &second }) {
        if (source->kind == CompareSource::Kind::Location) {
            continue;
        }
        auto target = std::find_if(targets.begin(), targets.end(),
            [source](const WalkTarget& made) { return made.catalog == source->catalog; });
        if (target == targets.end()) {
            targets.push_back({ source->catalog, catalogs.at(source->catalog).fileset, {} });
            target = targets.end() - 1;
            if (source->kind == CompareSource::Kind::Disc) {
                target->discs.push_back(source->disc);
            }
            continue;
        }
        // A second part of the same catalog: the whole fileset covers any disc of it.
        if (source->kind == CompareSource::Kind::Fileset) {
            target->discs.clear();
        } else if (!target->discs.empty() && target->discs.front() != source->disc) {
            target->discs.push_back(source->disc);
        }
    }
    return targets;
}

namespace {

/// Whether a record of the walk belongs to the source.
bool belongsTo(const CompareSource& source, std::size_t catalog, const WalkRecord& record)
{
    if (source.kind == CompareSource::Kind::Location || static_cast<int>(catalog) != source.catalog) {
        return false;
    }
    return source.kind == CompareSource::Kind::Fileset
        || (!record.chain.empty() && record.chain.front() == source.disc);
}

} // namespace

TreeComparison compareSources(
    const CompareSource& first, const CompareSource& second, const CompanionCatalogs& catalogs, CatalogWalk& walk)
{
    TreeListing listings[2];
    QStringList faults;
    bool complete = true;
    const CompareSource* sources[2] = { &first, &second };
    for (int side = 0; side < 2; ++side) {
        if (sources[side]->kind != CompareSource::Kind::Location) {
            continue;
        }
        const LocationDrive location = openLocation(sources[side]->location);
        if (location.drive == nullptr) {
            faults.append(location.failure);
            complete = false;
            continue;
        }
        EntryProgress progress(walk);
        const DriveWalkResult walked = walkDrive(
            *location.drive, sources[side]->location,
            [&listings, &progress, side](const DriveItem& item) {
                listings[side].add(item.folders, item.name, item.folder, item.size, item.dateTime);
                progress.count();
            },
            [&walk] { return walk.stopRequested(); });
        if (!walked.complete) {
            complete = false;
            if (!walked.failure.isEmpty()) {
                faults.append(walked.failure);
            }
        }
    }

    // One target a catalog; with two sides in one catalog a record may belong to both.
    std::mutex mutex;
    const bool walked = walk.run([&](RecordWalk& one) {
        TreeListing found[2];
        const auto catalog = static_cast<std::size_t>(one.target().catalog);
        one.forEachRecord([&](const WalkRecord& record) {
            for (int side = 0; side < 2; ++side) {
                if (belongsTo(*sources[side], catalog, record)) {
                    found[side].addRecord(record, sources[side]->kind == CompareSource::Kind::Disc ? 1 : 0);
                }
            }
        });
        std::lock_guard lock(mutex);
        for (int side = 0; side < 2; ++side) {
            if (found[side].size() > 0) {
                listings[side] = std::move(found[side]);
            }
        }
    });
    TreeComparison comparison = compareListings(listings[0], listings[1]);
    comparison.firstName = first.describe(catalogs);
    comparison.secondName = second.describe(catalogs);
    comparison.complete = complete && walked && walk.faults().empty();
    comparison.faults = faults;
    for (const WalkFault& fault : walk.faults()) {
        comparison.faults.append(fault.message);
    }
    return comparison;
}
