#pragma once
// One entry of a drive or folder walk as the drive layer fills it, with its attribute bits: the record
// the catalog engine turns into folder and file records.

#include <cstdint>

// Attribute bits of a directory entry.
constexpr std::uint32_t KTB_ATTR_READONLY = 1;
constexpr std::uint32_t KTB_ATTR_HIDDEN = 2;
constexpr std::uint32_t KTB_ATTR_SYSTEM = 4;
constexpr std::uint32_t KTB_ATTR_DIRECTORY = 16;
constexpr std::uint32_t KTB_ATTR_ARCHIVE = 32;

/// One entry of a drive or folder walk, as the platform lists it.
struct TKTBDirEntry {
    char Name[260]; ///< zero-terminated UTF-8
    std::uint32_t Attributes; ///< KTB_ATTR_ bits
    std::uint64_t Size;
    std::int64_t LastWriteTime; ///< seconds since 1970-01-01 UTC
};
