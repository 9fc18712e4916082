#include "core/statistics/statisticscollector.h"

#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/entitylist.h"
#include "core/filesets/fileset.h"
#include "core/search/catalogsearch.h"
#include "core/text/catalogtext.h"
#include "engine/ktb_owners.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------------------------
// ExtensionCounts: open addressing over the extension's bytes packed in two words.

ExtensionCounts::ExtensionCounts()
    : m_slots(256)
    , m_shift(64 - 8)
{
}

ExtensionCounts::Slot& ExtensionCounts::probe(std::size_t first, std::uint64_t low, std::uint64_t high)
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t index = first;; index = (index + 1) & mask) {
        Slot& slot = m_slots[index];
        if (slot.high == high && slot.low == low) {
            return slot;
        }
        if (slot.high != 0) {
            continue;
        }
        // A free slot: the extension is new. The table stays at most a quarter full, so the first
        // slot tried is nearly always the one.
        if (4 * (m_used + 1) > m_slots.size()) {
            grow();
            return probe(firstSlot(low, high), low, high);
        }
        ++m_used;
        slot.low = low;
        slot.high = high;
        return slot;
    }
}

void ExtensionCounts::grow()
{
    std::vector<Slot> old(m_slots.size() * 2);
    old.swap(m_slots);
    --m_shift;
    m_used = 0;
    for (const Slot& slot : old) {
        if (slot.high != 0) {
            probe(firstSlot(slot.low, slot.high), slot.low, slot.high).count = slot.count;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The largest files and folders

namespace {

template <class Candidate> bool better(const Candidate& a, const Candidate& b)
{
    if (a.size != b.size) {
        return a.size > b.size;
    }
    if (a.target != b.target) {
        return a.target < b.target;
    }
    return a.offset < b.offset;
}

} // namespace

void StatisticsCollector::Largest::offer(Candidate candidate)
{
    const auto worse = [](const Candidate& a, const Candidate& b) { return better(a, b); };
    if (m_heap.size() < Capacity) {
        m_heap.push_back(std::move(candidate));
        std::push_heap(m_heap.begin(), m_heap.end(), worse);
        return;
    }
    if (!better(candidate, m_heap.front())) {
        return;
    }
    std::pop_heap(m_heap.begin(), m_heap.end(), worse);
    m_heap.back() = std::move(candidate);
    std::push_heap(m_heap.begin(), m_heap.end(), worse);
}

std::vector<StatisticsCollector::Candidate> StatisticsCollector::Largest::sorted() const
{
    std::vector<Candidate> list = m_heap;
    std::sort(list.begin(), list.end(), [](const Candidate& a, const Candidate& b) { return better(a, b); });
    return list;
}

void StatisticsCollector::Largest::merge(const Largest& other)
{
    for (const Candidate& candidate : other.m_heap) {
        offer(candidate);
    }
}

// ---------------------------------------------------------------------------------------------
// StatisticsCollector

StatisticsCollector::StatisticsCollector() = default;

void StatisticsCollector::beginTarget(std::size_t target, int catalog)
{
    m_target = target;
    m_catalog = catalog;
    m_current = TargetFigures { target, {} };
    m_current.row.catalog = catalog;
    m_inDisc = false;
    m_discFiles = {};
    m_discFolders = 0;
    m_open.clear();
}

void StatisticsCollector::endTarget()
{
    endDisc();
    m_targets.push_back(m_current);
}

void StatisticsCollector::beginDisc(const TKTBCursor& cursor)
{
    endDisc();
    const TKTBDisc& disc = *cursor.Current->disc();
    DiscRow row;
    row.target = m_target;
    row.figures.catalog = m_catalog;
    row.figures.offset = cursor.Current->Offset;
    row.figures.serial = disc.Serial;
    row.figures.flags = disc.Flags;
    row.figures.scanTime = disc.ScanTime;
    row.figures.used = disc.Used;
    row.figures.capacity = disc.Capacity;
    row.title.assign(disc.Title, strnlen(disc.Title, sizeof disc.Title));
    m_discs.push_back(std::move(row));
    m_inDisc = true;

    ++m_current.row.discs;
    m_current.row.used += disc.Used;
    m_current.row.capacity += disc.Capacity;
    const int year = dosYear(disc.ScanTime);
    const int month = year == 0 ? 0 : static_cast<int>((disc.ScanTime >> 21) & 0x0F);
    ScanMonthFigures& scan = m_scanMonths[year * 12 + month];
    scan.year = year;
    scan.month = month;
    ++scan.discs;
    scan.used += disc.Used;
}

void StatisticsCollector::endDisc()
{
    // Records outside a disc (only in a damaged catalog) count for the fileset alone.
    if (m_inDisc) {
        m_discs.back().figures.files.add(m_discFiles);
        m_discs.back().figures.folders += m_discFolders;
    }
    m_current.row.files.add(m_discFiles);
    m_current.row.folders += m_discFolders;
    m_discFiles = {};
    m_discFolders = 0;
    m_inDisc = false;
    m_open.clear();
}

void StatisticsCollector::endFolder(const TKTBCursor& cursor)
{
    if (m_open.empty()) {
        return;
    }
    const OpenFolder folder = m_open.back();
    m_open.pop_back();
    if (!m_open.empty()) {
        m_open.back().below.add(folder.below);
    }
    if (!m_largestFolders.mayEnter(folder.below.bytes)) {
        return;
    }
    // After the end mark the Chain holds the folder's ancestors; the folder itself comes last.
    Candidate candidate { folder.below.bytes, folder.below.files, m_target, m_catalog, folder.offset, 0,
        std::vector<std::uint32_t>(cursor.Chain, cursor.Chain + cursor.ChainLength) };
    candidate.chain.push_back(folder.offset);
    m_largestFolders.offer(std::move(candidate));
}

void StatisticsCollector::offerFile(const TKTBCursor& cursor, const TKTBFileData& file)
{
    m_largestFiles.offer({ file.Size, 1, m_target, m_catalog, cursor.Current->Offset, file.DateTime,
        std::vector<std::uint32_t>(cursor.Chain, cursor.Chain + cursor.ChainLength) });
}

void StatisticsCollector::merge(const StatisticsCollector& other)
{
    m_targets.insert(m_targets.end(), other.m_targets.begin(), other.m_targets.end());
    m_discs.insert(m_discs.end(), other.m_discs.begin(), other.m_discs.end());
    other.m_extensions.forEach(
        [this](std::string_view extension, const FileCount& count) { m_extensions.add(extension, count); });
    for (std::size_t i = 0; i < m_sizes.size(); ++i) {
        m_sizes[i].add(other.m_sizes[i]);
    }
    for (std::size_t i = 0; i < m_years.size(); ++i) {
        m_years[i].add(other.m_years[i]);
    }
    for (const auto& [key, month] : other.m_scanMonths) {
        ScanMonthFigures& mine = m_scanMonths[key];
        mine.year = month.year;
        mine.month = month.month;
        mine.discs += month.discs;
        mine.used += month.used;
    }
    m_largestFiles.merge(other.m_largestFiles);
    m_largestFolders.merge(other.m_largestFolders);
}

namespace {

template <class Row> void sortByTarget(std::vector<Row>& rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.target < b.target; });
}

} // namespace

CollectionStatistics StatisticsCollector::figures() const
{
    CollectionStatistics figures;
    std::vector<TargetFigures> targets = m_targets;
    sortByTarget(targets);
    for (const TargetFigures& target : targets) {
        figures.filesetRows.push_back(target.row);
    }
    std::vector<DiscRow> discs = m_discs;
    sortByTarget(discs);
    for (const DiscRow& disc : discs) {
        figures.discRows.push_back(disc.figures);
    }

    // Extensions are told apart by their text: bytes that decode alike, or differ only in the case of
    // letters beyond A-Z, are one extension. Each is mapped to its kind once.
    QHash<QString, FileCount> byText;
    m_extensions.forEach([&byText](std::string_view bytes, const FileCount& count) {
        byText[decodeCatalogText(bytes).toLower()].add(count);
    });
    for (auto entry = byText.cbegin(); entry != byText.cend(); ++entry) {
        const FileKind kind = fileKindOfExtension(entry.key());
        figures.extensions.push_back({ entry.key(), kind, entry.value() });
        figures.kinds[static_cast<std::size_t>(kind)].add(entry.value());
    }
    std::sort(
        figures.extensions.begin(), figures.extensions.end(), [](const ExtensionFigures& a, const ExtensionFigures& b) {
            if (a.count.bytes != b.count.bytes) {
                return a.count.bytes > b.count.bytes;
            }
            return a.extension < b.extension;
        });

    figures.sizes = m_sizes;
    for (std::size_t i = 0; i < m_years.size(); ++i) {
        if (m_years[i].files > 0) {
            figures.years.push_back({ i == 0 ? 0 : static_cast<int>(i) + 1979, m_years[i] });
        }
    }
    for (const auto& [key, month] : m_scanMonths) {
        figures.scanMonths.push_back(month);
    }
    for (const Candidate& candidate : m_largestFiles.sorted()) {
        figures.largestFiles.push_back({ candidate.catalog, candidate.offset,
            static_cast<std::uint32_t>(candidate.size), candidate.dateTime, {}, {} });
    }
    for (const Candidate& candidate : m_largestFolders.sorted()) {
        figures.largestFolders.push_back(
            { candidate.catalog, candidate.offset, { candidate.files, candidate.size }, {} });
    }
    for (const FilesetFigures& row : figures.filesetRows) {
        figures.discs += row.discs;
        figures.folders += row.folders;
        figures.files.add(row.files);
    }
    figures.filesets = figures.filesetRows.size();
    return figures;
}

std::vector<std::string> StatisticsCollector::discTitles() const
{
    std::vector<DiscRow> discs = m_discs;
    sortByTarget(discs);
    std::vector<std::string> titles;
    titles.reserve(discs.size());
    for (const DiscRow& disc : discs) {
        titles.push_back(disc.title);
    }
    return titles;
}

std::vector<std::vector<std::uint32_t>> StatisticsCollector::largestFileChains() const
{
    std::vector<std::vector<std::uint32_t>> chains;
    for (const Candidate& candidate : m_largestFiles.sorted()) {
        chains.push_back(candidate.chain);
    }
    return chains;
}

std::vector<std::vector<std::uint32_t>> StatisticsCollector::largestFolderChains() const
{
    std::vector<std::vector<std::uint32_t>> chains;
    for (const Candidate& candidate : m_largestFolders.sorted()) {
        chains.push_back(candidate.chain);
    }
    return chains;
}

// ---------------------------------------------------------------------------------------------
// collectStatistics

namespace {

/// The tree's path of a disc or folder given by its chain (the disc first, the folder itself last).
QString chainPath(Fileset* fileset, const std::vector<std::uint32_t>& chain)
{
    EntityEntry entry;
    entry.fileset = fileset;
    entry.ancestors = std::make_unique<TArrayStack>();
    entry.ancestors->Assign(chain.data(), static_cast<int>(chain.size()));
    return CatalogSearch::resultPath(entry);
}

QString fileName(Fileset* fileset, std::uint32_t offset)
{
    KtbEntityPtr entity;
    if (ktbReadEntityOwned(fileset->handle(), offset, entity) != KTB_OK || entity->file() == nullptr) {
        return {};
    }
    return decodeCatalogText(std::string_view(entity->file()->Name, entity->file()->NameLength));
}

} // namespace

CollectionStatistics collectStatistics(const CompanionCatalogs& catalogs, CatalogWalk& walk)
{
    std::vector<StatisticsCollector> collectors(walk.workerCount());
    const bool complete = walk.run([&collectors](RecordWalk& one) {
        StatisticsCollector& collector = collectors[one.worker()];
        collector.beginTarget(one.targetIndex(), one.target().catalog);
        struct End {
            StatisticsCollector& collector;
            ~End() { collector.endTarget(); }
        } end { collector };
        one.forEachRecord([&collector](const TKTBCursor& cursor) { collector.visit(cursor); });
    });
    for (std::size_t i = 1; i < collectors.size(); ++i) {
        collectors[0].merge(collectors[i]);
    }
    const StatisticsCollector& all = collectors[0];
    CollectionStatistics figures = all.figures();
    figures.complete = complete;
    for (const WalkFault& fault : walk.faults()) {
        figures.faults.append(fault.message);
    }

    QSet<QString> owners;
    for (FilesetFigures& row : figures.filesetRows) {
        const CatalogEntry& entry = catalogs.at(row.catalog);
        row.owner = entry.owner;
        row.description = entry.description;
        row.fileName = entry.fileName;
        owners.insert(entry.owner);
    }
    figures.owners = static_cast<std::uint64_t>(owners.size());
    const std::vector<std::string> titles = all.discTitles();
    for (std::size_t i = 0; i < figures.discRows.size(); ++i) {
        figures.discRows[i].title = decodeCatalogText(titles[i]);
        figures.discRows[i].fileset = catalogs.at(figures.discRows[i].catalog).description;
    }
    const std::vector<std::vector<std::uint32_t>> fileChains = all.largestFileChains();
    for (std::size_t i = 0; i < figures.largestFiles.size(); ++i) {
        LargestFile& file = figures.largestFiles[i];
        Fileset* fileset = catalogs.at(file.catalog).fileset;
        file.folderPath = chainPath(fileset, fileChains[i]);
        file.name = fileName(fileset, file.offset);
    }
    const std::vector<std::vector<std::uint32_t>> folderChains = all.largestFolderChains();
    for (std::size_t i = 0; i < figures.largestFolders.size(); ++i) {
        LargestFolder& folder = figures.largestFolders[i];
        folder.path = chainPath(catalogs.at(folder.catalog).fileset, folderChains[i]);
    }
    return figures;
}
