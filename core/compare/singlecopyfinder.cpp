#include "core/compare/singlecopyfinder.h"

#include "core/companion/companioncatalogs.h"
#include "core/compare/comparecsv.h"
#include "core/compare/foldedname.h"
#include "core/compare/recordcapture.h"
#include "core/compare/sizeparts.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/fileset.h"
#include "core/text/catalogtext.h"
#include "core/text/csvtext.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <numeric>

namespace {

/// A file of the first walk: 16 bytes.
struct Candidate {
    std::uint32_t size;
    std::uint32_t hash; ///< of the folded name (and the date when dates must match)
    std::uint32_t offset;
    std::uint32_t disc; ///< in the first walk the worker's disc, then the disc of the whole walk (DiscOf)

    std::uint64_t key() const { return std::uint64_t(size) << 32 | hash; }
};

bool sameKey(const Candidate& a, const Candidate& b) { return a.key() == b.key(); }

struct DiscSeen {
    std::uint32_t target = 0;
    std::uint32_t offset = 0;
    std::uint32_t serial = 0;
    std::uint32_t scanTime = 0;
    std::string title;
};

/// What one worker keeps of the first walk.
struct FirstPass {
    ItemBlocks<Candidate> files;
    std::vector<DiscSeen> discs;
    std::uint64_t walked = 0;
    bool inDisc = false;

    void visit(const WalkRecord& record, std::uint32_t target, const SingleCopyOptions& options)
    {
        switch (record.kind) {
        case KTB_TAG_FILE: {
            ++walked;
            if (!inDisc || record.size == 0 || record.size < options.minimumSize) {
                break;
            }
            std::uint64_t hash = foldedNameHash(record.name);
            if (options.sameDate) {
                hash = (hash ^ record.dateTime) * 0x9E3779B97F4A7C15ull;
                hash ^= hash >> 31;
            }
            files.push_back({ record.size, static_cast<std::uint32_t>(hash >> 32), record.offset,
                static_cast<std::uint32_t>(discs.size() - 1) });
            break;
        }
        case KTB_TAG_DISC:
            discs.push_back(
                { target, record.offset, record.disc->Serial, record.disc->ScanTime, std::string(record.name) });
            inDisc = true;
            break;
        case KTB_TAG_ENDDISC:
            inDisc = false;
            break;
        default:
            break;
        }
    }
};

/// Where a disc of the walk is, and its medium.
struct DiscOf {
    std::uint32_t target;
    std::uint32_t medium;
};

/// Files and bytes at risk per medium, counted by one thread.
struct Tally {
    std::vector<std::uint64_t> files;
    std::vector<std::uint64_t> bytes;

    void add(std::uint32_t medium, std::uint32_t size)
    {
        ++files[medium];
        bytes[medium] += size;
    }
};

/// The media of the discs the passes met, in the walk's order: discs with the same serial number are one
/// medium. Answers per pass the walk's number of each of its discs (an index into discOf).
std::vector<std::vector<std::uint32_t>> gatherMedia(std::vector<FirstPass>& passes, const CompanionCatalogs& catalogs,
    const CatalogWalk& walk, std::vector<SingleCopyMedium>& media, std::vector<DiscOf>& discOf)
{
    struct Seen {
        std::size_t pass;
        std::size_t disc;
    };
    std::vector<Seen> order;
    for (std::size_t pass = 0; pass < passes.size(); ++pass) {
        for (std::size_t disc = 0; disc < passes[pass].discs.size(); ++disc) {
            order.push_back({ pass, disc });
        }
    }
    const auto seenDisc = [&passes](const Seen& seen) -> const DiscSeen& { return passes[seen.pass].discs[seen.disc]; };
    std::sort(order.begin(), order.end(), [&](const Seen& a, const Seen& b) {
        const DiscSeen& x = seenDisc(a);
        const DiscSeen& y = seenDisc(b);
        return x.target != y.target ? x.target < y.target : x.offset < y.offset;
    });
    std::vector<std::vector<std::uint32_t>> numberOf(passes.size());
    for (std::size_t pass = 0; pass < passes.size(); ++pass) {
        numberOf[pass].resize(passes[pass].discs.size());
    }
    std::map<std::uint32_t, std::uint32_t> bySerial;
    for (const Seen& seen : order) {
        const DiscSeen& disc = seenDisc(seen);
        const int catalog = walk.targets()[disc.target].catalog;
        auto known = disc.serial != 0 ? bySerial.find(disc.serial) : bySerial.end();
        if (known == bySerial.end()) {
            SingleCopyMedium medium;
            medium.title = decodeCatalogText(disc.title);
            medium.path = catalogTreePath(catalogs.at(catalog), std::span<const std::string>(&disc.title, 1));
            medium.serial = disc.serial;
            media.push_back(std::move(medium));
            if (disc.serial != 0) {
                known = bySerial.emplace(disc.serial, static_cast<std::uint32_t>(media.size() - 1)).first;
            }
        }
        const std::uint32_t index
            = known != bySerial.end() ? known->second : static_cast<std::uint32_t>(media.size() - 1);
        SingleCopyMedium& medium = media[index];
        medium.discs.push_back({ catalog, disc.offset, disc.target });
        medium.scanTime = std::max(medium.scanTime, disc.scanTime);
        numberOf[seen.pass][seen.disc] = static_cast<std::uint32_t>(discOf.size());
        discOf.push_back({ disc.target, index });
    }
    return numberOf;
}

/// Sorts the parts: files no other medium can hold a copy of are counted at once; the runs of one size
/// and hash that lie on several media are answered, their names to be compared.
std::vector<Candidate> countSingles(
    SizeParts<Candidate>& parts, const std::vector<DiscOf>& discOf, std::vector<Tally>& tallies)
{
    std::vector<std::vector<Candidate>> shared(parts.threadCount());
    parts.forEachPart([&](unsigned thread, auto first, auto last, SizeCounts& counts) {
        Tally& tally = tallies[thread];
        const auto held = std::partition(
            first, last, [&counts](const Candidate& item) { return counts.heldMoreThanOnce(item.size); });
        for (auto item = held; item != last; ++item) {
            tally.add(discOf[item->disc].medium, item->size);
        }
        std::sort(first, held, [](const Candidate& a, const Candidate& b) { return a.key() < b.key(); });
        forEachRun(first, held, sameKey, [&](auto run, auto end) {
            const std::uint32_t medium = discOf[run->disc].medium;
            if (std::all_of(run, end, [&](const Candidate& item) { return discOf[item.disc].medium == medium; })) {
                for (auto item = run; item != end; ++item) {
                    tally.add(medium, item->size);
                }
            } else {
                shared[thread].insert(shared[thread].end(), run, end);
            }
        });
    });
    std::vector<Candidate> all;
    for (std::vector<Candidate>& list : shared) {
        all.insert(all.end(), list.begin(), list.end());
        std::vector<Candidate>().swap(list);
    }
    return all;
}

/// Compares the names within each run of shared candidates: a name held on several media has copies,
/// one held on one medium has none. Places of files with copies (or whose names could not be read) go
/// to copied.
void compareNames(const std::vector<Candidate>& shared, const std::vector<DiscOf>& discOf, const RecordCapture& capture,
    const SingleCopyOptions& options, Tally& tally, std::vector<std::pair<std::uint32_t, std::uint32_t>>& copied)
{
    struct Member {
        const Candidate* candidate;
        std::string folded;
        std::uint32_t dateTime;
    };
    const auto mediumOf = [&discOf](const Member& member) { return discOf[member.candidate->disc].medium; };
    std::vector<Member> members;
    forEachRun(shared.begin(), shared.end(), sameKey, [&](auto start, auto end) {
        members.clear();
        for (auto candidate = start; candidate != end; ++candidate) {
            const std::uint32_t target = discOf[candidate->disc].target;
            const CapturedRecord* record = capture.find(target, candidate->offset);
            if (record == nullptr) {
                copied.emplace_back(target, candidate->offset); // not known: not counted, not listed
                continue;
            }
            members.push_back(
                { &*candidate, std::string(foldedName(record->name)), options.sameDate ? record->dateTime : 0 });
        }
        std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) {
            return a.folded != b.folded ? a.folded < b.folded : a.dateTime < b.dateTime;
        });
        const auto sameName
            = [](const Member& a, const Member& b) { return a.folded == b.folded && a.dateTime == b.dateTime; };
        forEachRun(members.begin(), members.end(), sameName, [&](auto first, auto last) {
            const bool oneMedium
                = std::all_of(first, last, [&](const Member& member) { return mediumOf(member) == mediumOf(*first); });
            for (auto member = first; member != last; ++member) {
                const Candidate& candidate = *member->candidate;
                if (oneMedium) {
                    tally.add(mediumOf(*member), candidate.size);
                } else {
                    copied.emplace_back(discOf[candidate.disc].target, candidate.offset);
                }
            }
        });
    });
}

} // namespace

SingleCopyReport findSingleCopies(
    const CompanionCatalogs& catalogs, CatalogWalk& walk, const SingleCopyOptions& options)
{
    SingleCopyReport report;
    report.options = options;
    report.options.minimumSize = std::max<std::uint32_t>(options.minimumSize, 1);
    report.targets = walk.targets();
    std::vector<FirstPass> passes(walk.workerCount());
    bool complete = walk.run([&passes, &report](RecordWalk& one) {
        FirstPass& pass = passes[one.worker()];
        const auto target = static_cast<std::uint32_t>(one.targetIndex());
        pass.inDisc = false;
        one.forEachRecord([&](const WalkRecord& record) { pass.visit(record, target, report.options); });
    });
    addWalkFaults(report.faults, walk);
    for (const FirstPass& pass : passes) {
        report.filesWalked += pass.walked;
    }

    std::vector<SingleCopyMedium> media;
    std::vector<DiscOf> discOf;
    const std::vector<std::vector<std::uint32_t>> numberOf = gatherMedia(passes, catalogs, walk, media, discOf);
    SizeParts<Candidate> parts;
    std::vector<ItemBlocks<Candidate>*> lists;
    for (FirstPass& pass : passes) {
        lists.push_back(&pass.files);
        std::vector<DiscSeen>().swap(pass.discs);
    }
    parts.spread(lists, [&numberOf](std::size_t list, Candidate& item) { item.disc = numberOf[list][item.disc]; });
    std::vector<Tally> tallies(parts.threadCount(),
        Tally { std::vector<std::uint64_t>(media.size()), std::vector<std::uint64_t>(media.size()) });
    const std::vector<Candidate> shared = countSingles(parts, discOf, tallies);
    parts.release();

    // The second walk reads the names of the files whose size and hash lie on several media.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> copied;
    if (!shared.empty()) {
        RecordCapture capture(walk);
        for (const Candidate& candidate : shared) {
            capture.want(discOf[candidate.disc].target, candidate.offset);
        }
        complete = capture.run(walk) && complete;
        addWalkFaults(report.faults, capture.walk());
        compareNames(shared, discOf, capture, report.options, tallies.front(), copied);
    }
    std::sort(copied.begin(), copied.end());
    report.copied.resize(report.targets.size());
    for (const auto& [target, offset] : copied) {
        report.copied[target].push_back(offset);
    }

    for (std::size_t index = 0; index < media.size(); ++index) {
        for (const Tally& tally : tallies) {
            media[index].files += tally.files[index];
            media[index].bytes += tally.bytes[index];
        }
        if (media[index].files > 0) {
            report.singleFiles += media[index].files;
            report.bytesAtRisk += media[index].bytes;
            report.media.push_back(std::move(media[index]));
        }
    }
    std::stable_sort(
        report.media.begin(), report.media.end(), [](const SingleCopyMedium& a, const SingleCopyMedium& b) {
            return a.bytes != b.bytes ? a.bytes > b.bytes : a.scanTime < b.scanTime;
        });
    report.complete = complete && report.faults.isEmpty();
    return report;
}

bool listSingleCopies(const CompanionCatalogs& catalogs, const SingleCopyReport& report,
    const std::vector<std::size_t>& media, CatalogWalk& first,
    const std::function<void(const SingleCopyFile& file, std::string& text)>& format,
    const std::function<void(std::size_t medium, const std::string& text)>& deliver, QStringList& faults)
{
    if (first.stopRequested()) {
        return false;
    }
    std::vector<std::size_t> order = media;
    if (order.empty()) {
        order.resize(report.media.size());
        std::iota(order.begin(), order.end(), 0);
    }
    // One target a disc, in the order of listing; a catalog that cannot be opened is named and passed over.
    std::vector<WalkTarget> targets;
    struct Origin {
        std::size_t medium;
        std::uint32_t target; ///< the first walk's
    };
    std::vector<Origin> origins;
    for (const std::size_t medium : order) {
        for (const MediumDisc& disc : report.media.at(medium).discs) {
            Fileset* fileset = report.targets.at(disc.target).fileset;
            try {
                fileset->handle();
            } catch (const CatalogError& error) {
                if (!faults.contains(error.message())) {
                    faults.append(error.message());
                }
                continue;
            }
            targets.push_back({ disc.catalog, fileset, { disc.offset } });
            origins.push_back({ medium, disc.target });
        }
    }
    const std::uint64_t firstTotal = first.totalBytes();
    CatalogWalk walk(std::move(targets), first.workerCount());
    walk.onProgress = [&walk, &first, firstTotal](std::uint64_t done, std::uint64_t total) {
        if (first.onProgress) {
            first.onProgress(firstTotal + done, firstTotal + total);
        }
        if (first.stopRequested()) {
            walk.requestStop();
        }
    };

    // Each target's text is made on a worker; they are handed on in order, a medium's whole.
    std::mutex mutex;
    std::condition_variable turn;
    std::size_t next = 0;
    std::string mediumText;
    const auto handOn = [&](std::size_t index, std::string& text) {
        std::unique_lock lock(mutex);
        while (next != index) {
            if (walk.stopRequested()) {
                return;
            }
            turn.wait_for(lock, std::chrono::milliseconds(50));
        }
        const bool last = index + 1 == origins.size() || origins[index + 1].medium != origins[index].medium;
        if (last && mediumText.empty()) {
            deliver(origins[index].medium, text); // a medium of one disc, nearly every one: not copied again
        } else {
            mediumText += text;
            if (last) {
                deliver(origins[index].medium, mediumText);
                mediumText.clear();
            }
        }
        ++next;
        turn.notify_all();
    };
    const bool walked = walk.run([&](RecordWalk& one) {
        const std::size_t index = one.targetIndex();
        if (first.stopRequested()) {
            walk.requestStop();
        }
        const Origin& origin = origins[index];
        const std::vector<std::uint32_t>& copied = report.copied.at(origin.target);
        auto copy = std::lower_bound(copied.begin(), copied.end(), one.target().discs.front());
        std::string text;
        text.reserve(std::size_t(1) << 20);
        std::string folderPath;
        std::uint32_t folderOffset = 0;
        SingleCopyFile file;
        file.medium = origin.medium;
        file.catalog = one.target().catalog;
        try {
            one.forEachRecord([&](const WalkRecord& record) {
                if (record.kind != KTB_TAG_FILE || record.size < report.options.minimumSize) {
                    return;
                }
                while (copy != copied.end() && *copy < record.offset) {
                    ++copy;
                }
                if (copy != copied.end() && *copy == record.offset) {
                    return;
                }
                if (record.chain.empty() || record.chain.back() != folderOffset || folderPath.empty()) {
                    folderOffset = record.chain.empty() ? 0 : record.chain.back();
                    folderPath = catalogTreePath(catalogs.at(file.catalog), record.chainNames).toStdString();
                    const std::size_t discPath
                        = catalogTreePath(catalogs.at(file.catalog), record.chainNames.first(1)).toUtf8().size();
                    file.pathInDisc = std::string_view(folderPath).substr(std::min(discPath, folderPath.size()));
                }
                file.offset = record.offset;
                file.size = record.size;
                file.dateTime = record.dateTime;
                file.name = record.name;
                file.folders = record.chainNames;
                file.folderOffset = folderOffset;
                file.folderPath = folderPath;
                format(file, text);
            });
        } catch (...) {
            handOn(index, text);
            throw;
        }
        handOn(index, text);
    });
    addWalkFaults(faults, walk);
    return walked && !first.stopRequested();
}

QString singleCopyCsvHeader()
{
    return csvRecord({ QStringLiteral("Medium"), QStringLiteral("Serial"), QStringLiteral("Scanned"),
               QStringLiteral("Folder"), QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Date") })
        + QStringLiteral("\r\n");
}

QString singleCopyCsvLine(const SingleCopyMedium& medium, const SingleCopyFile& file)
{
    return csvRecord({ medium.path, QStringLiteral("%1").arg(medium.serial, 8, 16, QLatin1Char('0')).toUpper(),
               isoDosDateTime(medium.scanTime),
               QString::fromUtf8(file.folderPath.data(), qsizetype(file.folderPath.size())),
               decodeCatalogText(file.name), QString::number(file.size), isoDosDateTime(file.dateTime) })
        + QStringLiteral("\r\n");
}
