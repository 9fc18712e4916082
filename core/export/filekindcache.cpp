#include "core/export/filekindcache.h"

#include "core/text/catalogtext.h"
#include "core/text/filekind.h"

const std::string& FileKindCache::kindOf(std::string_view name)
{
    const std::string_view extension = fileExtension(name);
    if (extension.empty()) {
        if (m_other.empty()) {
            m_other = fileKindName(FileKind::Other).toStdString();
        }
        return m_other;
    }
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
    return m_names.emplace(m_key, fileKindName(kind).toStdString()).first->second;
}
