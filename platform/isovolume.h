#pragma once
// Our own reader of ISO 9660 volumes with Joliet, over 2048-byte sectors, following the rules of the
// origin's CD file system so that a disc gives the same label, serial, names, sizes and dates there and
// here. libiso9660 is not used: it reads the first session only, misses Joliet after an El Torito boot
// record, cuts Joliet names whose UTF-8 is longer than their UCS-2, and answers local times.
//
// The tree is Joliet's when the disc has it. Without Joliet, a disc burnt on Linux usually carries Rock
// Ridge: its names are the ones the user sees when the disc is mounted, so they are taken from the NM
// entries (with their continuation areas), and directories moved to "rr_moved" for their depth are
// shown where they belong. Only the primary's names remain for discs with neither. The label, the
// serial and the size never depend on which names are read.
//
// Every byte of the image is distrusted: a malformed descriptor makes the volume unreadable, a
// malformed directory record makes its folder's listing fail, and a directory that points at itself, an
// ancestor or any folder already listed in the same walk cannot be listed. Directories are read a few
// sectors at a time as the listing goes, and one walk reads no more directory bytes than the volume
// holds.

#include "platform/medium.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SectorSource;

class IsoVolume final : public Medium, public std::enable_shared_from_this<IsoVolume> {
public:
    /// Where a directory's records lie.
    struct Extent {
        std::uint64_t ByteOffset = 0;
        std::uint32_t Size = 0;
        /// A directory reached through a Rock Ridge child link: its size is the one of its "." record.
        bool Relocated = false;
    };

    /// Reads the volume descriptors from sector 16 of the session starting at sessionStart; null when
    /// they hold no usable primary volume descriptor.
    static std::shared_ptr<IsoVolume> open(std::shared_ptr<SectorSource> source, std::uint32_t sessionStart);

    VolumeFacts facts() const override;
    std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) override;

    /// Whether the label, tree and serial come from a Joliet descriptor.
    bool joliet() const { return m_joliet; }
    /// Whether the names come from Rock Ridge entries (a volume without Joliet whose top directory's
    /// "." record starts the System Use Sharing Protocol).
    bool rockRidge() const { return m_rockRidge; }
    /// The bytes every record's system use area starts with before its entries.
    std::uint8_t systemUseSkip() const { return m_systemUseSkip; }
    /// The logical block size of the primary descriptor (512, 1024 or 2048).
    std::uint32_t blockSize() const { return m_blockSize; }
    /// The bytes the volume holds: its size as the primary descriptor gives it, no more than the
    /// source holds when it knows.
    std::uint64_t volumeBytes() const { return m_volumeBytes; }
    /// Where the volume ends on the disc: its session's start and its size (some writers count the
    /// size from the disc's start, others from the session's), no further than the source's end.
    std::uint64_t volumeEnd() const { return m_volumeEnd; }
    /// Reads length bytes of a directory from offset into its extent (whole blocks); false when they
    /// cannot be read.
    bool readDirectory(const Extent& extent, std::uint64_t offset, std::uint32_t length, std::uint8_t* bytes) const;

private:
    IsoVolume() = default;
    void findRockRidge();

    std::shared_ptr<SectorSource> m_source;
    std::uint32_t m_blockSize = 2048;
    bool m_joliet = false;
    bool m_rockRidge = false;
    std::uint8_t m_systemUseSkip = 0;
    Extent m_root;
    VolumeFacts m_facts;
    std::uint64_t m_volumeBytes = 0;
    std::uint64_t m_volumeEnd = 0;
};

/// The UTC time of a 7-byte directory record time: years since 1900, month, day, hour, minute, second,
/// and the offset from GMT in quarter hours, applied when it is not 0 and lies within -48..52. Invalid
/// fields (month 13, hour 25, 30 February) give 0.
std::int64_t isoRecordTime(const std::uint8_t* time);
/// The name of a directory record's file identifier: Joliet's UCS-2BE as UTF-8, else the bytes; the
/// part from ";" on dropped, then one trailing "." ("NOEXT.;1" is "NOEXT").
std::string isoRecordName(const std::uint8_t* identifier, std::size_t length, bool joliet);
/// UCS-2 (UTF-16) big-endian to UTF-8; a lone surrogate becomes U+FFFD.
std::string ucs2BigEndianToUtf8(const std::uint8_t* bytes, std::size_t length);
/// The NT family's report of a data disc's serial: the four 8-bit sums of the bytes at offsets 0, 1, 2
/// and 3 modulo 4 of a 2048-byte descriptor, as s0<<24|s1<<16|s2<<8|s3.
std::uint32_t laneSumReport(const std::uint8_t* sector);
