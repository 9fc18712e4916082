#include "core/compare/duplicatefinder.h"

#include "core/companion/companioncatalogs.h"
#include "core/compare/foldedname.h"
#include "core/compare/recordcapture.h"
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

/// Candidates in blocks that never move: the list grows without copying what it holds.
class CandidateBlocks {
public:
    void push_back(const Candidate& candidate)
    {
        if (m_count % BlockSize == 0) {
            m_blocks.push_back(std::make_unique_for_overwrite<Candidate[]>(BlockSize));
        }
        m_blocks.back()[m_count % BlockSize] = candidate;
        ++m_count;
    }
    std::size_t size() const { return m_count; }
    /// Calls visit(const Candidate&) for each in the order added.
    template <class Visit> void forEach(Visit&& visit) const
    {
        for (std::size_t i = 0; i < m_count; ++i) {
            visit(m_blocks[i / BlockSize][i % BlockSize]);
        }
    }
    /// Calls visit(const Candidate&) for each in the order added, releasing each block once visited.
    template <class Visit> void drain(Visit&& visit)
    {
        for (std::size_t block = 0; block < m_blocks.size(); ++block) {
            const std::size_t count = std::min(BlockSize, m_count - block * BlockSize);
            for (std::size_t i = 0; i < count; ++i) {
                visit(m_blocks[block][i]);
            }
            m_blocks[block].reset();
        }
        m_blocks.clear();
        m_count = 0;
    }

private:
    static constexpr std::size_t BlockSize = 1 << 16;
    std::vector<std::unique_ptr<Candidate[]>> m_blocks;
    std::size_t m_count = 0;
};

/// What one worker keeps of the first walk.
struct FirstPass {
    CandidateBlocks files;
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

/// How many files of a part have each size: open addressing over the sizes, the table at most half full.
class SizeCounts {
public:
    void reset(std::size_t files)
    {
        std::size_t slotCount = 16;
        while (slotCount < 2 * files) {
            slotCount *= 2;
        }
        m_keys.assign(slotCount, 0);
        m_counts.assign(slotCount, 0);
    }
    void add(std::uint32_t size)
    {
        std::uint8_t& count = m_counts[slot(size)];
        count = count < 2 ? static_cast<std::uint8_t>(count + 1) : count;
    }
    bool heldMoreThanOnce(std::uint32_t size) { return m_counts[slot(size)] > 1; }

private:
    /// The slot of the size, taken when it is free.
    std::size_t slot(std::uint32_t size)
    {
        const std::uint64_t key = std::uint64_t(1) << 32 | size;
        const std::size_t mask = m_keys.size() - 1;
        // The parts are made from a multiplicative hash of the size: the slots need bits of another.
        std::uint32_t mixed = size ^ (size >> 16);
        mixed *= 0x85EBCA6Bu;
        mixed ^= mixed >> 13;
        mixed *= 0xC2B2AE35u;
        mixed ^= mixed >> 16;
        for (std::size_t at = mixed & mask;; at = (at + 1) & mask) {
            if (m_keys[at] == key) {
                return at;
            }
            if (m_keys[at] == 0) {
                m_keys[at] = key;
                return at;
            }
        }
    }

    std::vector<std::uint64_t> m_keys; ///< 2^32 + size; 0 for a free slot
    std::vector<std::uint8_t> m_counts; ///< 0, 1, or 2 for more
};

/// The candidates that share their size and hash with another, in runs of equal keys. The candidates
/// are spread over parts by a hash of their size, each part small enough to be sorted in the cache, and
/// the parts are sorted side by side.
std::vector<Candidate> sharedKeys(std::vector<FirstPass>& passes)
{
    constexpr int partBits = 10;
    constexpr std::size_t parts = std::size_t(1) << partBits;
    const auto partOf = [](std::uint32_t size) { return (size * 0x9E3779B1u) >> (32 - partBits); };
    std::vector<std::size_t> starts(parts + 1);
    std::size_t total = 0;
    for (const FirstPass& pass : passes) {
        total += pass.files.size();
        pass.files.forEach([&](const Candidate& item) { ++starts[partOf(item.size) + 1]; });
    }
    std::partial_sum(starts.begin(), starts.end(), starts.begin());
    std::vector<Candidate> all(total);
    std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
    for (FirstPass& pass : passes) {
        pass.files.drain([&](const Candidate& item) { all[next[partOf(item.size)]++] = item; });
    }

    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::vector<Candidate>> found(threads);
    std::atomic<std::size_t> nextPart { 0 };
    const auto sortParts = [&](unsigned thread) {
        SizeCounts counts;
        for (std::size_t part = nextPart++; part < parts; part = nextPart++) {
            const auto first = all.begin() + static_cast<std::ptrdiff_t>(starts[part]);
            const auto last = all.begin() + static_cast<std::ptrdiff_t>(starts[part + 1]);
            // Most sizes are held once: only the files of sizes held more than once are sorted.
            counts.reset(static_cast<std::size_t>(last - first));
            for (auto item = first; item != last; ++item) {
                counts.add(item->size);
            }
            const auto held = std::partition(
                first, last, [&counts](const Candidate& item) { return counts.heldMoreThanOnce(item.size); });
            std::sort(first, held, [](const Candidate& a, const Candidate& b) { return a.key() < b.key(); });
            for (auto run = first; run != held;) {
                auto end = run + 1;
                while (end != held && end->key() == run->key()) {
                    ++end;
                }
                if (end - run > 1) {
                    found[thread].insert(found[thread].end(), run, end);
                }
                run = end;
            }
        }
    };
    std::vector<std::thread> workers;
    for (unsigned thread = 1; thread < threads; ++thread) {
        workers.emplace_back(sortParts, thread);
    }
    sortParts(0);
    for (std::thread& worker : workers) {
        worker.join();
    }
    std::vector<Candidate>().swap(all);
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

void addFaults(QStringList& faults, const CatalogWalk& walk)
{
    for (const WalkFault& fault : walk.faults()) {
        if (!faults.contains(fault.message)) {
            faults.append(fault.message);
        }
    }
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
    addFaults(report.faults, walk);
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
    addFaults(report.faults, capture.walk());

    // Within a run of equal size and hash, the files with the same folded name (and date) are a group.
    struct Member {
        const CapturedRecord* record;
        std::uint32_t target;
        std::string folded;
    };
    std::vector<Member> members;
    for (std::size_t start = 0; start < shared.size();) {
        std::size_t end = start + 1;
        while (end < shared.size() && shared[end].key() == shared[start].key()) {
            ++end;
        }
        members.clear();
        for (std::size_t i = start; i < end; ++i) {
            const CapturedRecord* record = capture.find(shared[i].target, shared[i].offset);
            if (record != nullptr) {
                members.push_back({ record, shared[i].target,
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
        for (std::size_t first = 0; first < members.size();) {
            std::size_t last = first + 1;
            while (last < members.size() && members[last].folded == members[first].folded
                && (!options.sameDate || members[last].record->dateTime == members[first].record->dateTime)) {
                ++last;
            }
            if (last - first > 1) {
                DuplicateGroup group;
                for (std::size_t i = first; i < last; ++i) {
                    group.files.push_back(capture.location(members[i].target, *members[i].record, catalogs));
                }
                report.groups.push_back(std::move(group));
            }
            first = last;
        }
        start = end;
    }
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
