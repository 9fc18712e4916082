#pragma once
// One entry of a drive or folder walk as the drive layer fills it, with its attribute bits: the record
// the catalog engine turns into folder and file records.

#include <cstddef>
#include <cstdint>

// Attribute bits of a directory entry.
constexpr std::uint32_t KTB_ATTR_READONLY = 1;
constexpr std::uint32_t KTB_ATTR_HIDDEN = 2;
constexpr std::uint32_t KTB_ATTR_SYSTEM = 4;
constexpr std::uint32_t KTB_ATTR_DIRECTORY = 16;
constexpr std::uint32_t KTB_ATTR_ARCHIVE = 32;

/// Longest name of a directory entry, in characters (UTF-16 code units, as the origin counts them).
constexpr std::size_t KTB_NAME_CHARACTERS = 259;
/// Bytes of a directory entry's name field: 259 characters of UTF-8 take at most three bytes each (a
/// character beyond U+FFFF is two code units in four bytes), and the zero byte.
constexpr std::size_t KTB_NAME_FIELD_BYTES = 3 * KTB_NAME_CHARACTERS + 1;

/// One entry of a drive or folder walk, as the platform lists it.
struct TKTBDirEntry {
    char Name[KTB_NAME_FIELD_BYTES]; ///< zero-terminated UTF-8, at most KTB_NAME_CHARACTERS characters
    std::uint32_t Attributes; ///< KTB_ATTR_ bits
    std::uint64_t Size;
    std::int64_t LastWriteTime; ///< seconds since 1970-01-01 UTC
};
