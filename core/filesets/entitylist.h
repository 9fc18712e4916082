#pragma once
// Entity lists (owning lists of engine entities in the one display order) and the records that tell
// what a tree node or a selected list row stands for.

#include "engine/Containers.h"
#include "engine/ktbdef.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TKTBFile;

/// One entity of a list with what its owner keeps beside it.
struct TEntityEntry {
    TKTBEntity* Entity = nullptr; ///< owned
    std::int32_t ImageIndex = -1;
    std::unique_ptr<TArrayStack> Ancestors; ///< offsets of the enclosing disc and folders, or none
    TKTBFile* Fileset = nullptr; ///< not owned

    TEntityEntry() = default;
    ~TEntityEntry();
    TEntityEntry(const TEntityEntry&) = delete;
    TEntityEntry& operator=(const TEntityEntry&) = delete;
};

/// An owning list of entities.
class TEntityList {
public:
    TEntityList() = default;
    ~TEntityList() = default;
    TEntityList(const TEntityList&) = delete;
    TEntityList& operator=(const TEntityList&) = delete;

    /// Appends a new entry that takes over entity; with ancestors it gets an empty TArrayStack.
    int AddEntity(TKTBEntity* entity, bool withAncestors);
    int Count() const { return static_cast<int>(m_entries.size()); }
    TEntityEntry* Items(int index) const { return m_entries.at(static_cast<std::size_t>(index)).get(); }
    /// Releases the entry's entity and ancestors.
    void Delete(int index);
    void Clear() { m_entries.clear(); }
    /// Deletes every entry that passes test, keeping the order of the others; answers how many.
    int RemoveIf(const std::function<bool(const TEntityEntry&)>& test);
    /// Sorts by CompareEntities (not stable).
    void SortEntities();

private:
    std::vector<std::unique_ptr<TEntityEntry>> m_entries;
};

/// The one display order: discs, folders, files; each by title or name ignoring ASCII letter case.
int CompareEntities(const TKTBEntity* a, const TKTBEntity* b);
/// Byte comparison with only a-z folded to A-Z; a prefix sorts first.
int CompareText(const char* a, const char* b);

/// What a tree node or a selected list row stands for.
enum TItemKind : std::uint8_t { ikOwners = 0, ikSearch = 1, ikOwner = 2, ikFileset = 3, ikDisc = 4, ikFolder = 5 };

struct TItemData {
    TItemKind Kind = ikOwners;
    void* Ref = nullptr; ///< the TKTBOwner for ikOwner; the TKTBFile for ikFileset, ikDisc, ikFolder
    std::uint32_t Offset = 0; ///< the disc's or folder's record offset
    std::uint32_t Flags = 0; ///< a disc's Flags
};

using TItemDataArray = std::vector<TItemData>;
