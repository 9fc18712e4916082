#include "core/filesets/entitylist.h"

#include <algorithm>
#include <cstring>

int EntityList::addEntity(TKTBEntity* entity, bool withAncestors)
{
    KtbEntityPtr owned(entity);
    auto entry = std::make_unique<EntityEntry>();
    entry->entity = std::move(owned);
    if (withAncestors) {
        entry->ancestors.emplace();
    }
    m_entries.push_back(std::move(entry));
    return count() - 1;
}

int EntityList::addEntry(std::unique_ptr<EntityEntry> entry)
{
    m_entries.push_back(std::move(entry));
    return count() - 1;
}

void EntityList::removeAt(int index) { m_entries.erase(m_entries.begin() + index); }

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
