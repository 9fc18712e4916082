#pragma once
// UDF images of a test tree, put together byte by byte: no Debian tool writes a filled UDF image
// without mounting it, which tests may not do. The images follow ECMA-167 and UDF as writers lay them
// out: the volume recognition sequence, a main and a reserve volume descriptor sequence, the anchor at
// sector 256, one partition, and the file set with (Extended) File Entries and File Identifier
// Descriptors; revisions 1.02 to 2.60, a metadata partition, embedded directories and long
// allocation descriptors on request. Files hold the bytes discTreeFileBytes gives.
//
//     UdfImageOptions options;
//     options.Revision = 0x0250;
//     options.MetadataPartition = true;
//     UdfImage udf(standardDiscTree(), options);
//     writeFileBytes(temp.file("disc.udf"), udf.bytes());

#include "tests/support/discimages.h"

#include <cstdint>
#include <string>
#include <vector>

struct UdfImageOptions {
    std::uint16_t Revision = 0x0201; ///< 0x0102, 0x0150, 0x0201, 0x0250 or 0x0260
    bool MetadataPartition = false; ///< entries and directories in a metadata partition (2.50 and later)
    bool ExtendedEntries = false; ///< Extended File Entries (2.00 and later) instead of File Entries
    bool EmbeddedDirectories = false; ///< directories small enough are stored inside their entry
    bool LongAllocation = false; ///< long allocation descriptors instead of short ones
    std::string Label = "Katalox UDF"; ///< the logical volume identifier
    std::string VolumeId = "KATALOX_PVD"; ///< the primary volume descriptor's identifier
    int ZoneMinutes = 60; ///< the time-zone offset every timestamp carries
    /// An ISO 9660 volume (a primary descriptor of VolumeId) whose top folder is empty, before the UDF
    /// volume: what DVD authoring tools write.
    bool EmptyIsoVolume = false;
};

class UdfImage {
public:
    static constexpr std::uint32_t PartitionStart = 272;
    static constexpr std::uint32_t MainSequence = 32;
    static constexpr std::uint32_t ReserveSequence = 48;
    static constexpr std::uint32_t Anchor = 256;

    explicit UdfImage(const std::vector<DiscTreeEntry>& tree, const UdfImageOptions& options = {});

    const std::string& bytes() const { return m_image; }
    /// The sector of the ISO 9660 primary descriptor and of its top folder (with EmptyIsoVolume).
    static constexpr std::uint32_t IsoPrimary = 16;
    static constexpr std::uint32_t IsoRoot = 21;

    /// The sector of the File Set Descriptor.
    std::uint32_t fileSetSector() const { return m_fileSetSector; }
    /// The sector of the logical volume descriptor of the main sequence.
    std::uint32_t logicalVolumeSector() const { return MainSequence + 2; }
    /// The sector of the entry of the directory or file at path ("" the root, "Music/Rock").
    std::uint32_t entrySector(const std::string& path) const;
    /// The sector of the first block of a directory's identifiers (not for embedded ones).
    std::uint32_t directoryDataSector(const std::string& path) const;

    /// Changes one byte of a sector, leaving the descriptor's checksum as it was (damage).
    void poke(std::uint32_t sector, std::size_t offset, std::uint8_t value);
    /// Changes 32 bits of a sector and fixes the descriptor's tag checksum (a sound change).
    void put32AndSeal(std::uint32_t sector, std::size_t offset, std::uint32_t value);
    /// Fixes the tag checksum of the descriptor at sector after pokes.
    void seal(std::uint32_t sector);

private:
    struct Node;
    void build(const std::vector<DiscTreeEntry>& tree);
    void writeEmptyIsoVolume();

    UdfImageOptions m_options;
    std::string m_image;
    std::uint32_t m_fileSetSector = 0;
    std::vector<std::pair<std::string, std::pair<std::uint32_t, std::uint32_t>>> m_places; ///< path: entry, data
};

/// The tag checksum of the 16-byte descriptor tag at tag: the sum of its bytes but the fifth.
std::uint8_t udfTagChecksum(const char* tag);
