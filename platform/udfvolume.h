#pragma once
// Our own reader of UDF volumes (revisions 1.02 to 2.60) over 2048-byte sectors, for DVD and Blu-ray
// images and discs, with or without an ISO 9660 volume beside it (discvolume.h chooses the tree).
// Debian's libudf lists only UDF 1.02 roots and knows no metadata partitions. It follows the anchor at
// sector 256 to the volume descriptor sequence (the reserve one when the main one is damaged), maps
// physical, sparable and metadata partitions, and lists directories by their File Identifier
// Descriptors and the (Extended) File Entries they point at. A volume kept through a virtual
// allocation table (a CD-R written packet by packet) is not read.
//
// Every byte is distrusted as in the ISO 9660 reader: a damaged descriptor in a directory makes its
// listing fail, a loop or a cross-link cannot be listed, and one walk reads no more directory bytes and
// file entries than the volume holds.

#include "platform/medium.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SectorSource;

class UdfVolume final : public Medium, public std::enable_shared_from_this<UdfVolume> {
public:
    /// A logical block of a partition, as UDF addresses it.
    struct Address {
        std::uint16_t Partition = 0; ///< the partition reference (index into the partition maps)
        std::uint32_t Block = 0;
    };

    /// Reads the volume; null when the source holds no UDF volume that can be read, with the reason in
    /// problem when there is one that cannot ("a virtual allocation table").
    static std::shared_ptr<UdfVolume> open(std::shared_ptr<SectorSource> source, std::string* problem = nullptr);

    /// The label is the logical volume identifier, the serial the four lane sums over the File Set
    /// Descriptor sector reported as s3<<24|s2<<16|s1<<8|s0 (as for a mounted UDF disc), the size the
    /// partition's.
    VolumeFacts facts() const override;
    std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) override;

    /// Reads one logical block; false when it cannot be read or lies outside its partition.
    bool readBlock(const Address& address, std::uint8_t* block) const;
    /// The bytes the walk of this volume may read: the disc's, no more than the source holds.
    std::uint64_t volumeBytes() const { return m_volumeBytes; }

    struct Partition;

private:
    UdfVolume() = default;

    std::shared_ptr<SectorSource> m_source;
    std::vector<std::shared_ptr<const Partition>> m_maps; ///< by partition reference
    Address m_root;
    VolumeFacts m_facts;
    std::uint64_t m_volumeBytes = 0;
};

/// The sector of a UDF volume's File Set Descriptor, found through the anchor at sector 256, the volume
/// descriptor sequence, the partition and the logical volume (physical, sparable and metadata partition
/// maps). False when the disc holds no UDF volume that makes sense.
bool findUdfFileSetDescriptor(SectorSource& source, std::uint32_t& sector);
/// The serial of a UDF disc: the four lane sums over its File Set Descriptor sector, reported as
/// s3<<24|s2<<16|s1<<8|s0. False when there is no File Set Descriptor.
bool udfSerialReport(SectorSource& source, std::uint32_t& serial);
/// The text of a UDF d-characters field: compression 8 (and 254) is Latin-1, 16 (and 255) UTF-16
/// big-endian; false for any other compression.
bool udfCharacters(const std::uint8_t* field, std::size_t length, std::string& text);
/// The UTC time of a 12-byte UDF timestamp: its time-zone offset applied when it is given; 0 for fields
/// that are no time.
std::int64_t udfTimestamp(const std::uint8_t* stamp);
