#include "core/filesets/entitylist.h"

#include "engine/ktb_io.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {

constexpr std::size_t s_firstEntries = 256;
constexpr std::size_t s_mostEntries = 8192;
constexpr std::size_t s_firstBytes = std::size_t { 32 } << 10;
constexpr std::size_t s_mostBytes = std::size_t { 1 } << 20;

} // namespace

EntityArena::~EntityArena()
{
    std::allocator<EntityEntry> allocator;
    for (EntryBlock& block : m_entryBlocks) {
        for (std::size_t i = 0; i < block.used; ++i) {
            // The entity lives in a byte block: the entry lets go of it rather than release it.
            (void)block.entries[i].entity.release();
            std::destroy_at(&block.entries[i]);
        }
        allocator.deallocate(block.entries, block.size);
    }
}

void* EntityArena::bytes(std::size_t count)
{
    constexpr std::size_t align = alignof(std::max_align_t);
    count = (count + align - 1) / align * align;
    if (m_byteBlocks.empty() || m_byteBlocks.back().size - m_byteBlocks.back().used < count) {
        ByteBlock block;
        block.size = std::max(
            count, m_byteBlocks.empty() ? s_firstBytes : std::min(2 * m_byteBlocks.back().size, s_mostBytes));
        block.memory = std::make_unique_for_overwrite<std::byte[]>(block.size);
        m_byteBlocks.push_back(std::move(block));
    }
    ByteBlock& block = m_byteBlocks.back();
    void* memory = block.memory.get() + block.used;
    block.used += count;
    return memory;
}

EntityEntry* EntityArena::newEntry(std::uint32_t offset, std::uint8_t kind, const char* name, std::uint16_t nameLength,
    std::uint32_t size, std::uint32_t dateTime, const char* comment, std::uint16_t commentLength)
{
    const std::size_t entityBytes = ktbEntityBytes(kind, nameLength, commentLength);
    if (entityBytes == 0) {
        throw std::invalid_argument("an arena holds folders and files only");
    }
    if (m_entryBlocks.empty() || m_entryBlocks.back().used == m_entryBlocks.back().size) {
        EntryBlock block;
        block.size = m_entryBlocks.empty() ? s_firstEntries : std::min(2 * m_entryBlocks.back().size, s_mostEntries);
        m_entryBlocks.reserve(m_entryBlocks.size() + 1);
        block.entries = std::allocator<EntityEntry>().allocate(block.size);
        m_entryBlocks.push_back(block);
    }
    void* memory = bytes(entityBytes);
    EntryBlock& block = m_entryBlocks.back();
    EntityEntry* entry = std::construct_at(&block.entries[block.used]);
    ++block.used;
    entry->entity.reset(ktbPlaceEntity(memory, offset, kind, name, nameLength, size, dateTime, comment, commentLength));
    entry->ancestors.emplace();
    return entry;
}

EntityEntry* EntityArena::newEntry(const TKTBEntity& entity)
{
    if (const TKTBFileData* file = entity.file()) {
        return newEntry(entity.Offset, entity.Kind, file->Name, file->NameLength, file->Size, file->DateTime,
            file->Comment, file->CommentLength);
    }
    const char* name = entity.name();
    return newEntry(entity.Offset, entity.Kind, name, static_cast<std::uint16_t>(std::strlen(name)), 0, 0, nullptr, 0);
}

int EntityList::addEntity(TKTBEntity* entity, bool withAncestors)
{
    KtbEntityPtr owned(entity);
    auto entry = std::make_unique<EntityEntry>();
    entry->entity = std::move(owned);
    if (withAncestors) {
        entry->ancestors.emplace();
    }
    return addEntry(std::move(entry));
}

int EntityList::addEntry(std::unique_ptr<EntityEntry> entry)
{
    m_entries.emplace_back(); // first, so that a failure leaves entry with the caller
    m_entries.back().reset(entry.release());
    return count() - 1;
}

int EntityList::addArenaEntry(EntityEntry* entry)
{
    m_entries.emplace_back(entry, EntryDisposer { .inArena = true });
    return count() - 1;
}

void EntityList::adoptArena(std::unique_ptr<EntityArena> arena) { m_arenas.push_back(std::move(arena)); }

void EntityList::removeAt(int index) { m_entries.erase(m_entries.begin() + index); }

void EntityList::clear()
{
    m_entries.clear();
    m_arenas.clear();
}

int EntityList::removeIf(const std::function<bool(EntityEntry&)>& test)
{
    const auto removed
        = std::remove_if(m_entries.begin(), m_entries.end(), [&test](const auto& entry) { return test(*entry); });
    const auto count = static_cast<int>(m_entries.end() - removed);
    m_entries.erase(removed, m_entries.end());
    return count;
}

void EntityList::sortEntities()
{
    std::sort(m_entries.begin(), m_entries.end(),
        [](const auto& a, const auto& b) { return compareEntities(a->entity.get(), b->entity.get()) < 0; });
}

int compareText(const char* a, const char* b)
{
    const auto* left = reinterpret_cast<const unsigned char*>(a);
    const auto* right = reinterpret_cast<const unsigned char*>(b);
    for (;; ++left, ++right) {
        if (*left == *right) {
            if (*left == 0) {
                return 0;
            }
            continue;
        }
        const unsigned char l = (*left >= 'a' && *left <= 'z') ? static_cast<unsigned char>(*left - 32) : *left;
        const unsigned char r = (*right >= 'a' && *right <= 'z') ? static_cast<unsigned char>(*right - 32) : *right;
        if (l != r) {
            return l < r ? -1 : 1;
        }
        if (l == 0) {
            return 0;
        }
    }
}

int compareEntities(const TKTBEntity* a, const TKTBEntity* b)
{
    if (a->Kind != b->Kind) {
        return a->Kind < b->Kind ? -1 : 1;
    }
    switch (a->Kind) {
    case KTB_TAG_DISC: {
        // Titles are read up to their first zero byte, at most the 64 bytes of the field.
        char left[65] = {};
        char right[65] = {};
        std::memcpy(left, a->disc()->Title, 64);
        std::memcpy(right, b->disc()->Title, 64);
        return compareText(left, right);
    }
    case KTB_TAG_FOLDER:
    case KTB_TAG_FILE:
        return compareText(a->name(), b->name());
    default:
        return 0;
    }
}
