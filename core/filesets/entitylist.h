#pragma once
// Entity lists: owning lists of engine entities in the one display order.

#include "engine/Containers.h"
#include "engine/ktb_owners.h"
#include "engine/ktbdef.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Fileset;

/// One entity of a list with what its owner keeps beside it.
struct EntityEntry {
    KtbEntityPtr entity;
    std::int32_t imageIndex = -1;
    std::optional<TArrayStack> ancestors; ///< offsets of the enclosing disc and folders, or none
    Fileset* fileset = nullptr; ///< not owned
};

/// An owning list of entities.
class EntityList {
public:
    EntityList() = default;
    ~EntityList() = default;
    EntityList(const EntityList&) = delete;
    EntityList& operator=(const EntityList&) = delete;

    /// Appends a new entry that takes over entity; with ancestors it gets an empty TArrayStack.
    int addEntity(TKTBEntity* entity, bool withAncestors);
    /// Appends an entry made elsewhere; answers its index.
    int addEntry(std::unique_ptr<EntityEntry> entry);
    int count() const { return static_cast<int>(m_entries.size()); }
    /// Makes room for count entries in all.
    void reserve(std::size_t count) { m_entries.reserve(count); }
    EntityEntry* at(int index) const { return m_entries.at(static_cast<std::size_t>(index)).get(); }
    /// Releases the entry's entity and ancestors.
    void removeAt(int index);
    void clear() { m_entries.clear(); }
    /// Deletes every entry that passes test, keeping the order of the others; answers how many. The test
    /// may change the entries it keeps.
    int removeIf(const std::function<bool(EntityEntry&)>& test);
    /// Sorts by compareEntities (not stable).
    void sortEntities();

private:
    std::vector<std::unique_ptr<EntityEntry>> m_entries;
};

/// The one display order: discs, folders, files; each by title or name ignoring ASCII letter case.
int compareEntities(const TKTBEntity* a, const TKTBEntity* b);
/// Byte comparison with only a-z folded to A-Z; a prefix sorts first.
int compareText(const char* a, const char* b);
