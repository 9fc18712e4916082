#include "core/statistics/statisticscollector.h"

#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/text/catalogtext.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cstdint>
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

/// Adds bytes (never negative) to a total that stops at INT64_MAX rather than wrapping.
void addBytes(std::int64_t& total, std::int64_t bytes)
{
    total = bytes > INT64_MAX - total ? INT64_MAX : total + bytes;
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

void StatisticsCollector::beginDisc(const WalkRecord& record)
{
    endDisc();
    const TKTBDisc& disc = *record.disc;
    DiscRow row;
    row.target = m_target;
    row.figures.catalog = m_catalog;
    row.figures.offset = record.offset;
    row.figures.serial = disc.Serial;
    row.figures.flags = disc.Flags;
    row.figures.scanTime = disc.ScanTime;
    row.figures.used = disc.Used;
    row.figures.capacity = disc.Capacity;
    row.title.assign(record.name);
    m_discs.push_back(std::move(row));
    m_inDisc = true;

    ++m_current.row.discs;
    const bool sound = !m_discs.back().figures.damaged();
    addBytes(m_current.row.used, sound ? disc.Used : 0);
    addBytes(m_current.row.capacity, sound ? disc.Capacity : 0);
    const int year = dosYear(disc.ScanTime);
    const int month = year == 0 ? 0 : static_cast<int>((disc.ScanTime >> 21) & 0x0F);
    ScanMonthFigures& scan = m_scanMonths[year * 12 + month];
    scan.year = year;
    scan.month = month;
    ++scan.discs;
    addBytes(scan.used, sound ? disc.Used : 0);
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

void StatisticsCollector::endFolder(const WalkRecord& record)
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
    // On its end mark the folder is the last of the chain.
    const std::uint32_t offset = record.chain.empty() ? record.offset : record.chain.back();
    m_largestFolders.offer({ folder.below.bytes, folder.below.files, m_target, m_catalog, offset, 0,
        std::vector<std::string>(record.chainNames.begin(), record.chainNames.end()) });
}

void StatisticsCollector::offerFile(const WalkRecord& record)
{
    Candidate candidate { record.size, 1, m_target, m_catalog, record.offset, record.dateTime,
        std::vector<std::string>(record.chainNames.begin(), record.chainNames.end()) };
    candidate.names.emplace_back(record.name);
    m_largestFiles.offer(std::move(candidate));
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
        addBytes(mine.used, month.used);
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

namespace {

QString treePath(const CatalogEntry& catalog, const std::vector<std::string>& parts, std::size_t count)
{
    return catalogTreePath(catalog, std::span<const std::string>(parts).first(std::min(count, parts.size())));
}

} // namespace

CollectionStatistics StatisticsCollector::figures(const CompanionCatalogs& catalogs) const
{
    CollectionStatistics figures;
    std::vector<TargetFigures> targets = m_targets;
    sortByTarget(targets);
    QSet<QString> owners;
    for (const TargetFigures& target : targets) {
        FilesetFigures row = target.row;
        const CatalogEntry& catalog = catalogs.at(row.catalog);
        row.owner = catalog.owner;
        row.description = catalog.description;
        row.fileName = catalog.fileName;
        owners.insert(catalog.owner);
        figures.discs += row.discs;
        figures.folders += row.folders;
        figures.files.add(row.files);
        figures.filesetRows.push_back(std::move(row));
    }
    figures.owners = static_cast<std::uint64_t>(owners.size());
    figures.filesets = figures.filesetRows.size();
    std::vector<DiscRow> discs = m_discs;
    sortByTarget(discs);
    for (const DiscRow& disc : discs) {
        DiscFigures row = disc.figures;
        row.title = decodeCatalogText(disc.title);
        row.fileset = catalogs.at(row.catalog).description;
        if (row.damaged()) {
            figures.damagedDiscs.append(
                QStringLiteral("%1: the disc \"%2\" at offset %3 is damaged: it says %4 bytes used of %5")
                    .arg(catalogs.at(row.catalog).fileName, row.title)
                    .arg(row.offset)
                    .arg(row.used)
                    .arg(row.capacity));
        }
        figures.discRows.push_back(std::move(row));
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
    for (const Candidate& file : m_largestFiles.sorted()) {
        const CatalogEntry& catalog = catalogs.at(file.catalog);
        figures.largestFiles.push_back(
            { file.catalog, file.offset, static_cast<std::uint32_t>(file.size), file.dateTime,
                decodeCatalogText(file.names.back()), treePath(catalog, file.names, file.names.size() - 1) });
    }
    for (const Candidate& folder : m_largestFolders.sorted()) {
        figures.largestFolders.push_back({ folder.catalog, folder.offset, { folder.files, folder.size },
            treePath(catalogs.at(folder.catalog), folder.names, folder.names.size()) });
    }
    return figures;
}

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
        one.forEachRecord([&collector](const WalkRecord& record) { collector.visit(record); });
    });
    for (std::size_t i = 1; i < collectors.size(); ++i) {
        collectors[0].merge(collectors[i]);
    }
    CollectionStatistics figures = collectors[0].figures(catalogs);
    figures.complete = complete;
    for (const WalkFault& fault : walk.faults()) {
        figures.faults.append(fault.message);
    }
    return figures;
}
