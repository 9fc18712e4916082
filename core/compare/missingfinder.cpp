#include "core/compare/missingfinder.h"

#include "core/companion/companioncatalogs.h"
#include "core/compare/foldedname.h"
#include "core/compare/treelisting.h"
#include "core/text/catalogtext.h"

#include <algorithm>

namespace {

struct LocalName {
    std::string folded;
    std::uint32_t size = 0; ///< modulo 2^32
};

/// The local files by size and name hash.
struct LocalKey {
    std::uint32_t size;
    std::uint32_t hash;
    std::uint32_t local;

    std::uint64_t key() const { return std::uint64_t(size) << 32 | hash; }
};

/// Which sizes the local files have, as bits: most catalog files fail this test and are never hashed.
class SizeFilter {
public:
    void add(std::uint32_t size) { m_bits[slot(size) >> 6] |= 1ull << (slot(size) & 63); }
    bool mayHold(std::uint32_t size) const { return (m_bits[slot(size) >> 6] >> (slot(size) & 63) & 1) != 0; }

private:
    static constexpr int Bits = 20;
    static std::uint32_t slot(std::uint32_t size) { return (size * 0x9E3779B1u) >> (32 - Bits); }
    std::vector<std::uint64_t> m_bits = std::vector<std::uint64_t>((1u << Bits) / 64);
};

struct Hit {
    std::uint32_t local;
    std::uint32_t target;
    std::uint32_t offset;
    std::vector<std::string> names; ///< the disc's title, the folders' names and the file's; empty past the shown ones
};

struct Holders {
    std::vector<Hit> hits;
    std::vector<std::uint32_t> counts; ///< per local file
};

} // namespace

MissingReport findMissing(
    const QString& folder, const CompanionCatalogs& catalogs, CatalogWalk& walk, const MissingOptions& options)
{
    MissingReport report;
    report.folder = folder;
    std::vector<LocalName> names;
    const LocationDrive location = openLocation(folder);
    if (location.drive == nullptr) {
        report.faults.append(location.failure);
        report.complete = false;
        return report;
    }
    EntryProgress progress(walk);
    const DriveWalkResult walked = walkDrive(
        *location.drive, folder,
        [&report, &progress](const DriveItem& item) {
            progress.count();
            if (item.folder) {
                return;
            }
            LocalFile file;
            for (const std::string& parent : item.folders) {
                file.path += parent;
                file.path += '/';
            }
            file.path += item.name;
            file.size = item.fullSize;
            file.dateTime = item.dateTime;
            report.files.push_back(std::move(file));
        },
        [&walk] { return walk.stopRequested(); });
    if (!walked.complete) {
        report.complete = false;
        if (!walked.failure.isEmpty()) {
            report.faults.append(walked.failure);
        }
        return report;
    }
    std::sort(report.files.begin(), report.files.end(),
        [](const LocalFile& a, const LocalFile& b) { return a.path < b.path; });

    SizeFilter sizes;
    std::vector<LocalKey> keys;
    names.reserve(report.files.size());
    keys.reserve(report.files.size());
    for (std::size_t i = 0; i < report.files.size(); ++i) {
        const LocalFile& file = report.files[i];
        const std::string_view name = std::string_view(file.path).substr(file.path.rfind('/') + 1);
        const auto size = static_cast<std::uint32_t>(file.size);
        names.push_back({ std::string(foldedName(name)), size });
        sizes.add(size);
        keys.push_back(
            { size, static_cast<std::uint32_t>(hashBytes(names.back().folded) >> 32), static_cast<std::uint32_t>(i) });
    }
    std::sort(keys.begin(), keys.end(), [](const LocalKey& a, const LocalKey& b) { return a.key() < b.key(); });

    std::vector<Holders> holders(walk.workerCount());
    for (Holders& worker : holders) {
        worker.counts.assign(report.files.size(), 0);
    }
    const bool complete = walk.run([&](RecordWalk& one) {
        Holders& mine = holders[one.worker()];
        const auto target = static_cast<std::uint32_t>(one.targetIndex());
        one.forEachRecord([&](const WalkRecord& record) {
            if (record.kind != KTB_TAG_FILE || !sizes.mayHold(record.size)) {
                return;
            }
            const std::string_view folded = foldedName(record.name);
            const LocalKey probe { record.size, static_cast<std::uint32_t>(hashBytes(folded) >> 32), 0 };
            auto match = std::lower_bound(keys.begin(), keys.end(), probe,
                [](const LocalKey& a, const LocalKey& b) { return a.key() < b.key(); });
            for (; match != keys.end() && match->key() == probe.key(); ++match) {
                const LocalFile& file = report.files[match->local];
                if (names[match->local].folded != folded || (options.sameDate && file.dateTime != record.dateTime)) {
                    continue;
                }
                Hit hit { match->local, target, record.offset, {} };
                if (mine.counts[match->local]++ < LocalFile::ShownHolders) {
                    hit.names.assign(record.chainNames.begin(), record.chainNames.end());
                    hit.names.emplace_back(record.name);
                    mine.hits.push_back(std::move(hit));
                }
            }
        });
    });

    std::vector<Hit> hits;
    for (Holders& worker : holders) {
        for (std::size_t i = 0; i < report.files.size(); ++i) {
            report.files[i].holders += worker.counts[i];
        }
        std::move(worker.hits.begin(), worker.hits.end(), std::back_inserter(hits));
    }
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
        if (a.local != b.local) {
            return a.local < b.local;
        }
        return a.target != b.target ? a.target < b.target : a.offset < b.offset;
    });
    for (const Hit& hit : hits) {
        LocalFile& file = report.files[hit.local];
        if (static_cast<std::size_t>(file.shownHolders.size()) < LocalFile::ShownHolders) {
            const CatalogEntry& catalog = catalogs.at(walk.targets()[hit.target].catalog);
            QString path
                = catalogTreePath(catalog, std::span<const std::string>(hit.names).first(hit.names.size() - 1));
            file.shownHolders.append(path + decodeCatalogText(hit.names.back()));
        }
    }
    for (const LocalFile& file : report.files) {
        if (file.held()) {
            ++report.heldFiles;
        } else {
            ++report.missingFiles;
            report.missingBytes += file.size;
        }
    }
    for (const WalkFault& fault : walk.faults()) {
        report.faults.append(fault.message);
    }
    report.complete = complete && report.faults.isEmpty();
    return report;
}
