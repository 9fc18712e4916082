#pragma once
// The kind of each file an export writes ("Audio", "Disc image"), from its extension: each distinct
// extension is looked up once (fileKindOfExtension), later files of it find the name in a table.

#include <string>
#include <string_view>
#include <unordered_map>

class FileKindCache {
public:
    /// The kind's name of a file name (catalog bytes) as UTF-8; "Other" without an extension.
    const std::string& kindOf(std::string_view name);

private:
    std::unordered_map<std::string, std::string> m_names; ///< by extension, A-Z folded to a-z
    std::string m_key;
    std::string m_other;
};
