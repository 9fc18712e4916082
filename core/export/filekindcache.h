#pragma once
// The kind of each file an export writes ("Audio", "Disc image"), from its extension: each distinct
// extension is looked up once (fileKindOfExtension); later files find its kind's name in a small table
// by the extension's bytes as stored, without folding or hashing a string of their own.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

class FileKindCache {
public:
    /// The kind's name of a file name (catalog bytes) as UTF-8; "Other" without an extension.
    const std::string& kindOf(std::string_view name);

private:
    struct Slot {
        char bytes[16];
        std::uint8_t length = 0xFF; ///< 0xFF: empty
        const std::string* kind = nullptr;
    };
    const std::string& lookUp(std::string_view extension);

    std::array<Slot, 256> m_recent {}; ///< by a hash of the extension's bytes as stored
    std::unordered_map<std::string, std::string> m_names; ///< by extension, A-Z folded to a-z
    std::string m_key;
    std::string m_other;
};
