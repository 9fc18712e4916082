#include "core/export/filekindcache.h"

#include "core/text/catalogtext.h"
#include "core/text/filekind.h"

#include <cstring>

const std::string& FileKindCache::kindOf(std::string_view name)
{
    const std::string_view extension = fileExtension(name);
    if (extension.empty()) {
        if (m_other.empty()) {
            m_other = fileKindName(FileKind::Other).toStdString();
        }
        return m_other;
    }
    std::uint32_t hash = 2166136261u;
    for (const char c : extension) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    Slot& slot = m_recent[(hash ^ (hash >> 8) ^ (hash >> 16)) & 0xFF];
    if (slot.length == extension.size() && std::memcmp(slot.bytes, extension.data(), extension.size()) == 0) {
        return *slot.kind;
    }
    const std::string& kind = lookUp(extension);
    std::memcpy(slot.bytes, extension.data(), extension.size());
    slot.length = static_cast<std::uint8_t>(extension.size());
    slot.kind = &kind;
    return kind;
}

const std::string& FileKindCache::lookUp(std::string_view extension)
{
    m_key.assign(extension);
    for (char& c : m_key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    const auto found = m_names.find(m_key);
    if (found != m_names.end()) {
        return found->second;
    }
    const FileKind kind = fileKindOfExtension(decodeCatalogText(extension));
    // Nodes of an unordered_map stay where they are: the table may keep pointers to them.
    return m_names.emplace(m_key, fileKindName(kind).toStdString()).first->second;
}
