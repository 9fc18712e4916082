#include "core/compare/recordcapture.h"

#include "core/companion/companioncatalogs.h"
#include "core/text/catalogtext.h"

#include <algorithm>

RecordCapture::RecordCapture(const CatalogWalk& first)
    : m_targets(first.targets())
    , m_records(first.targets().size())
{
}

RecordCapture::~RecordCapture() = default;

void RecordCapture::want(std::uint32_t target, std::uint32_t offset)
{
    CapturedRecord record;
    record.offset = offset;
    m_records.at(target).push_back(std::move(record));
}

bool RecordCapture::run(CatalogWalk& first)
{
    std::vector<WalkTarget> targets;
    std::vector<std::size_t> origins;
    for (std::size_t target = 0; target < m_records.size(); ++target) {
        std::vector<CapturedRecord>& records = m_records[target];
        std::sort(records.begin(), records.end(),
            [](const CapturedRecord& a, const CapturedRecord& b) { return a.offset < b.offset; });
        records.erase(std::unique(records.begin(), records.end(),
                          [](const CapturedRecord& a, const CapturedRecord& b) { return a.offset == b.offset; }),
            records.end());
        if (!records.empty() && !first.stopRequested()) {
            targets.push_back(m_targets[target]);
            origins.push_back(target);
        }
    }
    const std::uint64_t firstTotal = first.totalBytes();
    m_walk = std::make_unique<CatalogWalk>(std::move(targets));
    m_walk->onProgress = [this, &first, firstTotal](std::uint64_t done, std::uint64_t total) {
        if (first.onProgress) {
            first.onProgress(firstTotal + done, firstTotal + total);
        }
        if (first.stopRequested()) {
            m_walk->requestStop();
        }
    };
    if (first.stopRequested()) {
        return false;
    }
    const bool walked = m_walk->run([this, &origins](RecordWalk& one) {
        std::vector<CapturedRecord>& records = m_records[origins[one.targetIndex()]];
        std::size_t next = 0;
        one.forEachRecord([&](const WalkRecord& record) {
            if (record.kind != KTB_TAG_FILE) {
                return;
            }
            while (next < records.size() && records[next].offset < record.offset) {
                ++next;
            }
            if (next == records.size() || records[next].offset != record.offset) {
                return;
            }
            CapturedRecord& captured = records[next];
            captured.found = true;
            captured.size = record.size;
            captured.dateTime = record.dateTime;
            captured.name.assign(record.name);
            captured.folders.assign(record.chainNames.begin(), record.chainNames.end());
        });
    });
    return walked && !first.stopRequested();
}

const CapturedRecord* RecordCapture::find(std::uint32_t target, std::uint32_t offset) const
{
    const std::vector<CapturedRecord>& records = m_records.at(target);
    const auto found = std::lower_bound(records.begin(), records.end(), offset,
        [](const CapturedRecord& record, std::uint32_t value) { return record.offset < value; });
    if (found == records.end() || found->offset != offset || !found->found) {
        return nullptr;
    }
    return &*found;
}

FileLocation RecordCapture::location(
    std::uint32_t target, const CapturedRecord& record, const CompanionCatalogs& catalogs) const
{
    const int catalog = m_targets.at(target).catalog;
    return { catalog, record.offset, record.size, record.dateTime, decodeCatalogText(record.name),
        catalogTreePath(catalogs.at(catalog), record.folders) };
}

void addWalkFaults(QStringList& faults, const CatalogWalk& walk)
{
    for (const WalkFault& fault : walk.faults()) {
        if (!faults.contains(fault.message)) {
            faults.append(fault.message);
        }
    }
}
