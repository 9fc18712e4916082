#pragma once
// Walking a drive in tests the way a recording does, and the listing a test tree should give.

#include "platform/drivelayer.h"
#include "tests/support/discimages.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct ListedEntry {
    std::string Path; ///< "Music/Rock/song.mp3"
    bool Folder = false;
    std::uint64_t Size = 0;
    std::int64_t Time = 0;

    bool operator==(const ListedEntry&) const = default;
};
void PrintTo(const ListedEntry& entry, std::ostream* out);

struct WalkResult {
    std::vector<ListedEntry> Entries; ///< sorted by path
    bool Complete = true; ///< false when a folder could not be listed (whole) or the top could not be opened
    std::size_t HiddenCount = 0; ///< entries with KTB_ATTR_HIDDEN
};

/// Walks the drive from the folder at relativePath, depth first, stopping after maxEntries entries.
WalkResult walkDrive(Drive& drive, const std::string& relativePath = "", std::size_t maxEntries = 100000);
/// The same from a folder's listing (a medium's, without a drive).
WalkResult walkFolder(std::unique_ptr<DriveFolderListing> top, std::size_t maxEntries = 100000);
/// The listing a folder drive over this tree gives (sorted by path).
std::vector<ListedEntry> listingOfTree(const std::vector<DiscTreeEntry>& tree);
/// The same with each name changed by rename (applied to every path part).
std::vector<ListedEntry> listingOfTree(
    const std::vector<DiscTreeEntry>& tree, std::string (*rename)(const std::string&));
