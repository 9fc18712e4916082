#pragma once
// Collecting the figures of a collection while its catalogs are walked: one collector per worker
// thread takes every record its worker walks; the collectors are merged at the end. Merging gives the
// same figures in whatever way the catalogs were shared out among the workers.

#include "core/companion/catalogwalk.h"
#include "core/statistics/collectionstatistics.h"

#include <array>
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

class CompanionCatalogs;

/// Walks the targets of walk (CatalogWalk::run, which calls walk.onProgress on this thread) and
/// answers their figures. After a stop the figures are those of the records walked and complete is
/// false.
CollectionStatistics collectStatistics(const CompanionCatalogs& catalogs, CatalogWalk& walk);

/// Counts of files by extension, the extension being up to MaxExtensionBytes of catalog bytes with the
/// letters A-Z folded to a-z.
class ExtensionCounts {
public:
    ExtensionCounts();
    void add(std::string_view extension, std::uint32_t size) { countFor(extension).add(size); }
    void add(std::string_view extension, const FileCount& count) { countFor(extension).add(count); }
    /// Calls visit(std::string_view extension, const FileCount&) for every extension met.
    template <class Visit> void forEach(Visit&& visit) const;

private:
    struct Slot {
        std::uint64_t low = 0; ///< the first eight bytes
        std::uint64_t high = 0; ///< the next seven, and the length plus one in the top byte (0: free slot)
        FileCount count;
    };
    /// The count of an extension: at the first slot tried for the few extensions of a collection.
    FileCount& countFor(std::string_view extension)
    {
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        pack(extension, low, high);
        const std::size_t first = firstSlot(low, high);
        Slot& slot = m_slots[first];
        if (slot.low == low && slot.high == high) {
            return slot.count;
        }
        return probe(first, low, high).count;
    }
    static void pack(std::string_view extension, std::uint64_t& low, std::uint64_t& high);
    std::size_t firstSlot(std::uint64_t low, std::uint64_t high) const
    {
        // One multiplication: its top bits mix every byte of the key.
        return static_cast<std::size_t>(((low ^ (high >> 5)) * 0x9E3779B97F4A7C15ull) >> m_shift);
    }
    Slot& probe(std::size_t first, std::uint64_t low, std::uint64_t high);
    void grow();

    std::vector<Slot> m_slots;
    int m_shift; ///< 64 minus the bits of a slot index
    std::size_t m_used = 0;
};

/// Eight bytes with the letters A-Z folded to a-z, all at once.
inline std::uint64_t foldAsciiUpper(std::uint64_t bytes)
{
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    const std::uint64_t seven = bytes & (0x7F * ones);
    const std::uint64_t atLeastA = seven + (0x80 - 'A') * ones; // high bit set for bytes >= 'A'
    const std::uint64_t aboveZ = seven + (0x7F - 'Z') * ones; // high bit set for bytes > 'Z'
    const std::uint64_t upper = (atLeastA ^ aboveZ) & ~bytes & (0x80 * ones);
    return bytes | (upper >> 2);
}

inline void ExtensionCounts::pack(std::string_view extension, std::uint64_t& low, std::uint64_t& high)
{
    // Shifted in byte by byte: extensions are short, and a copy through memory would stall the load.
    low = 0;
    high = 0;
    const std::size_t size = extension.size();
    for (std::size_t i = 0; i < size && i < 8; ++i) {
        low |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(extension[i])) << (8 * i);
    }
    for (std::size_t i = 8; i < size; ++i) {
        high |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(extension[i])) << (8 * (i - 8));
    }
    low = foldAsciiUpper(low);
    high = foldAsciiUpper(high) | static_cast<std::uint64_t>(size + 1) << 56;
}

class StatisticsCollector {
public:
    StatisticsCollector();

    /// The records that follow belong to a target (its index in the walk) of that catalog.
    void beginTarget(std::size_t target, int catalog);
    /// Takes one record of a walk.
    void visit(const WalkRecord& record);
    /// Ends the target's records, also when its walk ended early.
    void endTarget();
    /// Adds the figures of another collector (of other targets).
    void merge(const StatisticsCollector& other);

    /// The figures of the targets taken. The owner, fileset name and file name of fileset rows, the
    /// fileset of disc rows, and the owner and fileset at the start of paths come from catalogs.
    CollectionStatistics figures(const CompanionCatalogs& catalogs) const;

private:
    struct TargetFigures {
        std::size_t target = 0;
        FilesetFigures row;
    };
    struct Candidate {
        std::uint64_t size = 0;
        std::uint64_t files = 0; ///< folders: the files below
        std::size_t target = 0;
        int catalog = -1;
        std::uint32_t offset = 0;
        std::uint32_t dateTime = 0;
        /// The disc's title and the folders' names down to the folder (folders) or to the file's folder,
        /// then the file's name (files): the bytes of the path, each part decoded on its own.
        std::vector<std::string> names;
    };
    /// The LargestCount best candidates: larger first, then the earlier target, then the lower offset.
    class Largest {
    public:
        /// Whether a candidate of this size may enter (a cheap test before building one).
        bool mayEnter(std::uint64_t size) const { return m_heap.size() < Capacity || size > m_heap.front().size; }
        void offer(Candidate candidate);
        /// The candidates, best first.
        std::vector<Candidate> sorted() const;
        void merge(const Largest& other);

    private:
        static constexpr std::size_t Capacity = CollectionStatistics::LargestCount;
        std::vector<Candidate> m_heap; ///< the worst candidate in front
    };
    struct OpenFolder {
        FileCount below;
    };
    struct DiscRow {
        std::size_t target = 0;
        DiscFigures figures;
        std::string title;
    };

    void beginDisc(const WalkRecord& record);
    void endDisc();
    void endFolder(const WalkRecord& record);
    void offerFile(const WalkRecord& record);

    // The target being taken.
    std::size_t m_target = 0;
    int m_catalog = -1;
    TargetFigures m_current;
    bool m_inDisc = false;
    FileCount m_discFiles;
    std::uint64_t m_discFolders = 0;
    std::vector<OpenFolder> m_open;

    std::vector<TargetFigures> m_targets;
    std::vector<DiscRow> m_discs;
    ExtensionCounts m_extensions;
    std::array<FileCount, SizeClassCount> m_sizes {};
    std::array<FileCount, 129> m_years {}; ///< 0: no date; 1 + year - 1980
    std::map<int, ScanMonthFigures> m_scanMonths; ///< by year * 12 + month
    Largest m_largestFiles;
    Largest m_largestFolders;
};

inline void StatisticsCollector::visit(const WalkRecord& record)
{
    switch (record.kind) {
    case KTB_TAG_FILE: {
        const std::uint32_t size = record.size;
        m_discFiles.add(size);
        m_sizes[static_cast<std::size_t>(sizeClass(size))].add(size);
        const int year = dosYear(record.dateTime);
        m_years[static_cast<std::size_t>(year == 0 ? 0 : year - 1979)].add(size);
        m_extensions.add(fileExtension(record.name), size);
        if (!m_open.empty()) {
            m_open.back().below.add(size);
        }
        if (m_largestFiles.mayEnter(size)) {
            offerFile(record);
        }
        break;
    }
    case KTB_TAG_FOLDER:
        ++m_discFolders;
        m_open.push_back({});
        break;
    case KTB_TAG_ENDFOLDER:
        endFolder(record);
        break;
    case KTB_TAG_DISC:
        beginDisc(record);
        break;
    case KTB_TAG_ENDDISC:
        endDisc();
        break;
    default:
        break;
    }
}

template <class Visit> void ExtensionCounts::forEach(Visit&& visit) const
{
    for (const Slot& slot : m_slots) {
        if (slot.high == 0) {
            continue;
        }
        char bytes[16];
        for (int i = 0; i < 8; ++i) {
            bytes[i] = static_cast<char>(slot.low >> (8 * i));
            bytes[8 + i] = static_cast<char>(slot.high >> (8 * i));
        }
        const auto length = static_cast<std::size_t>((slot.high >> 56) - 1);
        visit(std::string_view(bytes, length), slot.count);
    }
}
