#pragma once
// A second walk that reads chosen file records of catalogs walked before: their names, dates and the
// names of the disc and folders that hold them. Records are asked for by their place; the walk visits
// only the catalogs that hold some, and follows the first walk's stop request and progress.

#include "core/companion/catalogwalk.h"
#include "core/compare/duplicatefinder.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CompanionCatalogs;

/// Adds the faults of a walk to faults, each message once.
void addWalkFaults(QStringList& faults, const CatalogWalk& walk);

struct CapturedRecord {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t dateTime = 0;
    bool found = false;
    std::string name;
    std::vector<std::string> folders; ///< the disc's title and the folders' names, outermost first
};

class RecordCapture {
public:
    /// Reads records of the targets of first.
    explicit RecordCapture(const CatalogWalk& first);
    ~RecordCapture();

    /// Asks for the file record at offset of the first walk's target.
    void want(std::uint32_t target, std::uint32_t offset);
    /// Walks the catalogs that hold records asked for; false when first was asked to stop (before or
    /// during this walk). Runs once.
    bool run(CatalogWalk& first);

    /// The record read at that place; null when it was not read (stopped, damaged, or no file there).
    const CapturedRecord* find(std::uint32_t target, std::uint32_t offset) const;
    /// The record as a place in the tree.
    FileLocation location(std::uint32_t target, const CapturedRecord& record, const CompanionCatalogs& catalogs) const;
    /// The second walk, for its faults; valid after run().
    const CatalogWalk& walk() const { return *m_walk; }

private:
    std::vector<WalkTarget> m_targets;
    std::vector<std::vector<CapturedRecord>> m_records; ///< per target of the first walk, by offset
    std::unique_ptr<CatalogWalk> m_walk;
};
