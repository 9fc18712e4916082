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

/// Memory for many entries made together and released together, such as a search's results: entries
/// and their entities are carved from large blocks instead of an allocation each, and are all released
/// with the arena. An entry of an arena keeps the entity it was made with until the arena ends: its
/// entity is never replaced or released on its own.
class EntityArena {
public:
    EntityArena() = default;
    ~EntityArena();
    EntityArena(const EntityArena&) = delete;
    EntityArena& operator=(const EntityArena&) = delete;

    /// A new entry with an empty chain of ancestors whose entity is a folder or file holding these
    /// values, as a walk reports it. Raises std::bad_alloc when memory runs out, std::invalid_argument
    /// for another kind.
    EntityEntry* newEntry(std::uint32_t offset, std::uint8_t kind, const char* name, std::uint16_t nameLength,
        std::uint32_t size, std::uint32_t dateTime, const char* comment, std::uint16_t commentLength);
    /// A new entry like newEntry whose entity is a copy of entity, a folder or file.
    EntityEntry* newEntry(const TKTBEntity& entity);
    bool isEmpty() const { return m_entryBlocks.empty(); }

private:
    void* bytes(std::size_t count);

    // Blocks grow from small (a search with few results) to large.
    struct EntryBlock {
        EntityEntry* entries = nullptr;
        std::size_t used = 0;
        std::size_t size = 0;
    };
    struct ByteBlock {
        std::unique_ptr<std::byte[]> memory;
        std::size_t used = 0;
        std::size_t size = 0;
    };
    std::vector<EntryBlock> m_entryBlocks;
    std::vector<ByteBlock> m_byteBlocks;
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
    /// Appends an entry of an arena the list holds (adoptArena); answers its index.
    int addArenaEntry(EntityEntry* entry);
    /// Takes over an arena, released with the list's other arenas when the list is emptied or ends.
    void adoptArena(std::unique_ptr<EntityArena> arena);
    int count() const { return static_cast<int>(m_entries.size()); }
    /// Makes room for count entries in all.
    void reserve(std::size_t count) { m_entries.reserve(count); }
    EntityEntry* at(int index) const { return m_entries.at(static_cast<std::size_t>(index)).get(); }
    /// Releases the entry's entity and ancestors (an arena's entry with its arena).
    void removeAt(int index);
    void clear();
    /// Deletes every entry that passes test, keeping the order of the others; answers how many. The test
    /// may change the entries it keeps.
    int removeIf(const std::function<bool(EntityEntry&)>& test);
    /// Sorts by compareEntities (not stable).
    void sortEntities();

private:
    /// Deletes an entry of its own; an arena's entry goes with its arena, untouched until then.
    struct EntryDisposer {
        bool inArena = false;
        void operator()(EntityEntry* entry) const
        {
            if (!inArena) {
                delete entry;
            }
        }
    };

    // Declared before the entries, so that the entries go first.
    std::vector<std::unique_ptr<EntityArena>> m_arenas;
    std::vector<std::unique_ptr<EntityEntry, EntryDisposer>> m_entries;
};

/// The one display order: discs, folders, files; each by title or name ignoring ASCII letter case.
int compareEntities(const TKTBEntity* a, const TKTBEntity* b);
/// Byte comparison with only a-z folded to A-Z; a prefix sorts first.
int compareText(const char* a, const char* b);
