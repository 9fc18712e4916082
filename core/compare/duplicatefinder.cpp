#include "core/compare/duplicatefinder.h"

#include "core/companion/companioncatalogs.h"
#include "core/compare/foldedname.h"
#include "core/compare/recordcapture.h"
#include "core/compare/sizeparts.h"
#include "core/text/catalogtext.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <numeric>
#include <thread>

namespace {

constexpr std::uint64_t s_factor = 0x9E3779B97F4A7C15ull;

/// A file of the first walk: 16 bytes.
struct Candidate {
    std::uint32_t size;
    std::uint32_t hash; ///< of the folded name (and the date when dates must match); 0 for sizes alone
    std::uint32_t offset;
    std::uint32_t target;

    std::uint64_t key() const { return std::uint64_t(size) << 32 | hash; }
};

bool sameKey(const Candidate& a, const Candidate& b) { return a.key() == b.key(); }

/// A disc of the first walk with a print of its tree.
struct DiscPrint {
    std::uint32_t target = 0;
    std::uint32_t offset = 0;
    std::uint32_t serial = 0;
    std::uint64_t files = 0;
    std::uint64_t tree = 0;
    std::string title;
};

std::uint64_t mix(std::uint64_t print, std::uint64_t value)
{
    print = (print ^ value) * s_factor;
    return print ^ (print >> 31);
}

/// What one worker keeps of the first walk.
struct FirstPass {
    ItemBlocks<Candidate> files;
    std::vector<DiscPrint> discs;
    std::uint64_t walked = 0;
    DiscPrint disc;
    bool inDisc = false;

    void visit(const WalkRecord& record, std::uint32_t target, const DuplicateOptions& options)
    {
        switch (record.kind) {
        case KTB_TAG_FILE: {
            ++walked;
            const std::uint64_t name = foldedNameHash(record.name);
            if (inDisc) {
                ++disc.files;
                disc.tree = mix(mix(mix(disc.tree, name), record.size), record.dateTime);
            }
            if (record.size == 0 || record.size < options.minimumSize) {
                break;
            }
            std::uint64_t hash = options.sizeOnly ? 0 : name;
            if (options.sameDate) {
                hash = mix(hash, record.dateTime);
            }
            files.push_back({ record.size, static_cast<std::uint32_t>(hash >> 32), record.offset, target });
            break;
        }
        case KTB_TAG_FOLDER:
            disc.tree = mix(disc.tree, foldedNameHash(record.name) ^ KTB_TAG_FOLDER);
            break;
        case KTB_TAG_ENDFOLDER:
            disc.tree = mix(disc.tree, KTB_TAG_ENDFOLDER);
            break;
        case KTB_TAG_DISC:
            disc = DiscPrint { target, record.offset, record.disc->Serial, 0, s_factor, std::string(record.name) };
            inDisc = true;
            break;
        case KTB_TAG_ENDDISC:
            if (inDisc) {
                discs.push_back(std::move(disc));
            }
            inDisc = false;
            break;
        default:
            break;
        }
    }
};

/// The candidates that share their size and hash with another, in runs of equal keys. The candidates
/// are spread over parts by a hash of their size, each part small enough to be sorted in the cache, and
/// the parts are sorted side by side.
std::vector<Candidate> sharedKeys(std::vector<FirstPass>& passes)
{
    SizeParts<Candidate> parts;
    std::vector<ItemBlocks<Candidate>*> lists;
    for (FirstPass& pass : passes) {
        lists.push_back(&pass.files);
    }
    parts.spread(lists, [](std::size_t, Candidate&) {});
    std::vector<std::vector<Candidate>> found(parts.threadCount());
    parts.forEachPart([&found](unsigned thread, auto first, auto last, SizeCounts& counts) {
        // Most sizes are held once: only the files of sizes held more than once are sorted.
        const auto held = std::partition(
            first, last, [&counts](const Candidate& item) { return counts.heldMoreThanOnce(item.size); });
        std::sort(first, held, [](const Candidate& a, const Candidate& b) { return a.key() < b.key(); });
        forEachRun(first, held, sameKey, [&](auto run, auto end) {
            if (end - run > 1) {
                found[thread].insert(found[thread].end(), run, end);
            }
        });
    });
    parts.release();
    std::vector<Candidate> shared;
    for (const std::vector<Candidate>& list : found) {
        shared.insert(shared.end(), list.begin(), list.end());
    }
    return shared;
}

std::vector<RepeatedDisc> repeatedDiscs(const std::vector<FirstPass>& passes, const CatalogWalk& walk)
{
    std::vector<const DiscPrint*> discs;
    for (const FirstPass& pass : passes) {
        for (const DiscPrint& disc : pass.discs) {
            discs.push_back(&disc);
        }
    }
    const auto inPlaceOrder = [](const DiscPrint* a, const DiscPrint* b) {
        return a->target != b->target ? a->target < b->target : a->offset < b->offset;
    };
    std::sort(discs.begin(), discs.end(), inPlaceOrder);
    const auto location = [&](const DiscPrint& disc) {
        return DiscLocation { walk.targets()[disc.target].catalog, disc.offset, disc.serial,
            decodeCatalogText(disc.title), disc.files };
    };
    std::vector<RepeatedDisc> repeated;
    std::map<std::uint32_t, std::vector<const DiscPrint*>> bySerial;
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::vector<const DiscPrint*>> byTree;
    for (const DiscPrint* disc : discs) {
        if (disc->serial != 0) {
            bySerial[disc->serial].push_back(disc);
        }
        if (disc->files > 0) {
            byTree[{ disc->tree, disc->files }].push_back(disc);
        }
    }
    for (const auto& [serial, group] : bySerial) {
        if (group.size() > 1) {
            RepeatedDisc entry { RepeatedDisc::Reason::SameSerial, {} };
            for (const DiscPrint* disc : group) {
                entry.discs.push_back(location(*disc));
            }
            repeated.push_back(std::move(entry));
        }
    }
    for (const auto& [print, group] : byTree) {
        // Named anew for the lambda: clang before 16 cannot capture a structured binding.
        const bool serialsDiffer = std::any_of(group.begin(), group.end(),
            [&members = group](const DiscPrint* disc) { return disc->serial != members[0]->serial; });
        if (group.size() > 1 && serialsDiffer) {
            RepeatedDisc entry { RepeatedDisc::Reason::SameTree, {} };
            for (const DiscPrint* disc : group) {
                entry.discs.push_back(location(*disc));
            }
            repeated.push_back(std::move(entry));
        }
    }
    std::sort(repeated.begin(), repeated.end(), [](const RepeatedDisc& a, const RepeatedDisc& b) {
        const DiscLocation& x = a.discs.front();
        const DiscLocation& y = b.discs.front();
        if (x.catalog != y.catalog) {
            return x.catalog < y.catalog;
        }
        return x.offset != y.offset ? x.offset < y.offset : a.reason < b.reason;
    });
    return repeated;
}

} // namespace

std::uint64_t DuplicateReport::wasted() const
{
    std::uint64_t bytes = 0;
    for (const DuplicateGroup& group : groups) {
        bytes += group.wasted();
    }
    return bytes;
}

std::uint64_t DuplicateReport::duplicateFiles() const
{
    std::uint64_t files = 0;
    for (const DuplicateGroup& group : groups) {
        files += group.files.size() - 1;
    }
    return files;
}

DuplicateReport findDuplicates(const CompanionCatalogs& catalogs, CatalogWalk& walk, const DuplicateOptions& options)
{
    DuplicateReport report;
    std::vector<FirstPass> passes(walk.workerCount());
    bool complete = walk.run([&passes, &options](RecordWalk& one) {
        FirstPass& pass = passes[one.worker()];
        const auto target = static_cast<std::uint32_t>(one.targetIndex());
        pass.inDisc = false;
        one.forEachRecord([&](const WalkRecord& record) { pass.visit(record, target, options); });
    });
    addWalkFaults(report.faults, walk);
    for (const FirstPass& pass : passes) {
        report.filesWalked += pass.walked;
    }
    report.discs = repeatedDiscs(passes, walk);
    for (FirstPass& pass : passes) {
        std::vector<DiscPrint>().swap(pass.discs);
    }
    const std::vector<Candidate> shared = sharedKeys(passes);

    // The second walk reads the candidates' names and places.
    RecordCapture capture(walk);
    for (const Candidate& candidate : shared) {
        capture.want(candidate.target, candidate.offset);
    }
    const bool captured = capture.run(walk);
    complete = complete && captured;
    addWalkFaults(report.faults, capture.walk());

    // Within a run of equal size and hash, the files with the same folded name (and date) are a group.
    struct Member {
        const CapturedRecord* record;
        std::uint32_t target;
        std::string folded;
    };
    std::vector<Member> members;
    forEachRun(shared.begin(), shared.end(), sameKey, [&](auto start, auto end) {
        members.clear();
        for (auto candidate = start; candidate != end; ++candidate) {
            const CapturedRecord* record = capture.find(candidate->target, candidate->offset);
            if (record != nullptr) {
                members.push_back({ record, candidate->target,
                    options.sizeOnly ? std::string() : std::string(foldedName(record->name)) });
            }
        }
        std::sort(members.begin(), members.end(), [&options](const Member& a, const Member& b) {
            if (a.folded != b.folded) {
                return a.folded < b.folded;
            }
            if (options.sameDate && a.record->dateTime != b.record->dateTime) {
                return a.record->dateTime < b.record->dateTime;
            }
            return a.target != b.target ? a.target < b.target : a.record->offset < b.record->offset;
        });
        const auto sameName = [&options](const Member& a, const Member& b) {
            return a.folded == b.folded && (!options.sameDate || a.record->dateTime == b.record->dateTime);
        };
        forEachRun(members.begin(), members.end(), sameName, [&](auto first, auto last) {
            if (last - first > 1) {
                DuplicateGroup group;
                for (auto member = first; member != last; ++member) {
                    group.files.push_back(capture.location(member->target, *member->record, catalogs));
                }
                report.groups.push_back(std::move(group));
            }
        });
    });
    std::sort(report.groups.begin(), report.groups.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
        if (a.wasted() != b.wasted()) {
            return a.wasted() > b.wasted();
        }
        if (a.size() != b.size()) {
            return a.size() > b.size();
        }
        const FileLocation& x = a.files.front();
        const FileLocation& y = b.files.front();
        return x.catalog != y.catalog ? x.catalog < y.catalog : x.offset < y.offset;
    });
    report.complete = complete && report.faults.isEmpty();
    return report;
}
