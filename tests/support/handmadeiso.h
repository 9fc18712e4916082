#pragma once
// ISO 9660 images put together byte by byte, for what xorriso never writes: hidden and associated
// entries, multi-extent files, chosen GMT offsets, directories that point back at their ancestors or
// claim sizes they do not have, malformed records and Rock Ridge entries. Each directory takes the sectors its records
// need, at least four.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class HandMadeIso {
public:
    static constexpr std::uint32_t FirstDirectorySector = 20;
    static constexpr std::uint32_t MinimumDirectorySectors = 4;

    struct Record {
        std::string Identifier; ///< raw bytes (UCS-2BE for the Joliet tree)
        std::uint8_t Flags = 0; ///< 1 hidden, 2 directory, 4 associated, 0x80 multi-extent
        std::uint32_t Size = 0;
        std::array<std::uint8_t, 7> Time { 110, 1, 1, 12, 0, 0, 0 }; ///< 2010-01-01 12:00:00 GMT
        int Directory = -1; ///< for folders: the directory it leads to (extent and size filled in)
        std::uint32_t Extent = 0; ///< used when Directory is -1
        std::uint32_t ClaimedSize = 0; ///< when not 0, the size a folder's record gives its directory
        std::string RawRecord; ///< when set, written as it is instead of all the above
        std::string SystemUse; ///< the system use area after the identifier (Rock Ridge entries)
    };

    HandMadeIso();
    /// A new directory; 0 is the primary root, made by the constructor.
    int addDirectory();
    /// Adds a Joliet descriptor whose tree starts at a new directory, answered.
    int addJoliet(const std::string& ucs2Label);
    void addRecord(int directory, const Record& record);
    /// Starts the top directory's "." record with the SP entry that says records carry Rock Ridge
    /// entries (skipping skip bytes of each system use area).
    void addRockRidge(std::uint8_t skip = 0) { m_rockRidgeSkip = skip; }
    /// The label of the primary descriptor (32 bytes, padded with blanks).
    void setLabel(const std::string& label) { m_label = label; }
    void setBlockSize(std::uint16_t size) { m_blockSize = size; }
    /// The volume space size the descriptors give, in logical blocks (0: the image's own size).
    void setVolumeBlocks(std::uint32_t blocks) { m_volumeBlocks = blocks; }
    /// The first sector of a directory.
    std::uint32_t directorySector(int directory) const;
    /// The whole image.
    std::string bytes() const;

private:
    static std::size_t recordLength(const Record& record);
    std::uint32_t directorySize(int directory) const;
    std::string directoryBytes(int directory, int parent) const;
    std::uint32_t directorySectors(int directory) const;
    std::string descriptor(std::uint8_t type, int root, const std::string& label) const;
    std::string recordBytes(const Record& record) const;

    std::vector<std::vector<Record>> m_directories;
    std::string m_label = "HANDMADE";
    std::uint16_t m_blockSize = 2048;
    std::uint32_t m_volumeBlocks = 0;
    mutable std::vector<std::uint32_t> m_sectors; ///< where each directory starts, once asked
    int m_jolietRoot = -1;
    int m_rockRidgeSkip = -1; ///< -1: no Rock Ridge
    std::string m_jolietLabel;
};

/// A directory identifier in UCS-2BE.
std::string ucs2(const std::u16string& text);
