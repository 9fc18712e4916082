#pragma once
// Which disc a remembered offset stood for, and where that disc is now. Offsets are a disc's identity
// only until its catalog changes: deleting, moving or rescanning a disc moves every record stored after
// it, so whatever keeps offsets (result lists, list rows, tree places) finds its discs again here.

#include "engine/ktbdef.h"

#include <cstdint>
#include <vector>

struct TKTBHandle;

/// A disc as it was seen: where it was and its record then.
struct KnownDisc {
    std::uint32_t offset = 0;
    TKTBDisc record {};
};

/// Whether two records describe the same recording of a disc: serial number, scan time and the length
/// of the run agree. Titles, comments, capacity and flags may be edited in between; a rescan is a new
/// recording (a new scan time), so a disc that was rescanned is no longer the disc that was seen.
bool isSameDisc(const TKTBDisc& a, const TKTBDisc& b);

/// Whether the disc at the offset is still there.
bool isDiscStillAt(TKTBHandle* handle, const KnownDisc& disc);

/// Where the known discs of a catalog are now: for each (sorted by offset, ascending) the offset of the
/// same disc now, or 0 when it is gone. Deleting discs keeps the order of the others and new discs are
/// appended, so the discs are matched in file order.
std::vector<std::uint32_t> relocateDiscs(TKTBHandle* handle, const std::vector<KnownDisc>& discs);
