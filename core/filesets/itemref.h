#pragma once
// What a tree node or a selected list row stands for: an owner, a fileset, or a disc or folder of a
// fileset by its record offset.

#include <cstdint>
#include <vector>

/// What a tree node or a selected list row stands for.
enum ItemKind : std::uint8_t {
    OwnersItem = 0,
    SearchItem = 1,
    OwnerItem = 2,
    FilesetItem = 3,
    DiscItem = 4,
    FolderItem = 5
};

struct ItemRef {
    ItemKind kind = OwnersItem;
    void* ref = nullptr; ///< the Owner for OwnerItem; the Fileset for FilesetItem, DiscItem, FolderItem
    std::uint32_t offset = 0; ///< the disc's or folder's record offset
    std::uint32_t flags = 0; ///< a disc's Flags
};

using ItemRefs = std::vector<ItemRef>;
