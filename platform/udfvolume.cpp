#include "platform/udfvolume.h"

#include "platform/bytefields.h"
#include "platform/disclisting.h"
#include "platform/isovolume.h"
#include "platform/sectorsource.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string_view>

namespace {

constexpr std::uint32_t s_blockSize = SectorSource::SectorSize;
constexpr std::uint32_t s_anchorSector = 256;
constexpr std::uint32_t s_maxSequenceSectors = 64;
// Continuation extents of allocation descriptors one entry may chain; real ones chain a few.
constexpr int s_maxContinuations = 1024;
constexpr std::size_t s_identifierHeader = 38;

constexpr std::uint16_t s_tagAnchor = 2;
constexpr std::uint16_t s_tagPartition = 5;
constexpr std::uint16_t s_tagLogicalVolume = 6;
constexpr std::uint16_t s_tagTerminating = 8;
constexpr std::uint16_t s_tagFileSet = 256;
constexpr std::uint16_t s_tagFileIdentifier = 257;
constexpr std::uint16_t s_tagAllocationExtent = 258;
constexpr std::uint16_t s_tagFileEntry = 261;
constexpr std::uint16_t s_tagExtendedFileEntry = 266;

constexpr std::uint8_t s_fileTypeDirectory = 4;
constexpr std::uint8_t s_characteristicHidden = 1;
constexpr std::uint8_t s_characteristicDeleted = 4;
constexpr std::uint8_t s_characteristicParent = 8;

constexpr const char* s_damagedEntry = "a damaged file entry";
constexpr const char* s_virtualPartition
    = "its UDF volume is kept through a virtual allocation table (a disc written packet by packet), which "
      "cannot be read";

using Block = std::array<std::uint8_t, s_blockSize>;
using Address = UdfVolume::Address;

// A descriptor tag: its checksum over bytes 0..15 without byte 4, and its identifier.
bool hasTag(const std::uint8_t* descriptor, std::uint16_t identifier)
{
    std::uint8_t sum = 0;
    for (std::size_t index = 0; index < 16; ++index) {
        if (index != 4) {
            sum = static_cast<std::uint8_t>(sum + descriptor[index]);
        }
    }
    return sum == descriptor[4] && little16(descriptor) == identifier;
}

bool readSector(SectorSource& source, std::uint64_t lsn, Block& sector)
{
    return lsn <= UINT32_MAX && source.read(static_cast<std::uint32_t>(lsn), 1, sector.data());
}

// One extent of a file's data.
struct Extent {
    Address Where;
    std::uint32_t Bytes = 0;
    bool Recorded = true;
};

// What a directory listing needs of an (Extended) File Entry.
struct FileEntry {
    std::uint8_t FileType = 0;
    std::uint64_t Length = 0;
    std::int64_t Time = 0;
    bool Embedded = false;
    std::vector<std::uint8_t> EmbeddedData;
    std::vector<Extent> Extents;
};

using BlockReader = std::function<bool(const Address&, Block&)>;

// Collects allocation descriptors of one kind (0 short, 1 long, 2 extended) from bytes, following
// continuation extents through readBlock; short ones count in partition.
bool collectExtents(const std::uint8_t* bytes, std::size_t length, unsigned kind, std::uint16_t partition,
    const BlockReader& readBlock, std::vector<Extent>& extents)
{
    const std::size_t step = kind == 0 ? 8 : kind == 1 ? 16 : 20;
    Block continuation {};
    for (int hops = 0; hops <= s_maxContinuations; ++hops) {
        Address next {};
        bool continues = false;
        for (std::size_t at = 0; at + step <= length; at += step) {
            const std::uint32_t field = little32(bytes + at);
            const std::uint32_t extentBytes = field & 0x3FFFFFFF;
            const unsigned type = field >> 30;
            if (extentBytes == 0) {
                break;
            }
            Extent extent;
            extent.Bytes = extentBytes;
            extent.Recorded = type == 0;
            if (kind == 0) {
                extent.Where = { partition, little32(bytes + at + 4) };
            } else {
                const std::size_t address = kind == 1 ? 4 : 12;
                extent.Where = { little16(bytes + at + address + 4), little32(bytes + at + address) };
            }
            if (type == 3) {
                next = extent.Where;
                continues = true;
                break;
            }
            extents.push_back(extent);
        }
        if (!continues) {
            return true;
        }
        if (!readBlock(next, continuation) || !hasTag(continuation.data(), s_tagAllocationExtent)) {
            return false;
        }
        length = std::min<std::size_t>(little32(continuation.data() + 20), s_blockSize - 24);
        bytes = continuation.data() + 24;
    }
    return false;
}

// Reads what a listing needs from an (Extended) File Entry in block, recorded in partition.
bool parseFileEntry(const Block& block, std::uint16_t partition, const BlockReader& readBlock, FileEntry& entry)
{
    const bool extended = hasTag(block.data(), s_tagExtendedFileEntry);
    if (!extended && !hasTag(block.data(), s_tagFileEntry)) {
        return false;
    }
    entry.FileType = block[16 + 11];
    entry.Length = little64(block.data() + 56);
    entry.Time = udfTimestamp(block.data() + (extended ? 92 : 84));
    const std::size_t lengthsAt = extended ? 208 : 168;
    const std::uint64_t extendedAttributes = little32(block.data() + lengthsAt);
    const std::uint64_t descriptors = little32(block.data() + lengthsAt + 4);
    const std::uint64_t first = lengthsAt + 8 + extendedAttributes;
    if (first + descriptors > s_blockSize) {
        return false;
    }
    const unsigned kind = little16(block.data() + 16 + 18) & 7;
    if (kind == 3) {
        entry.Embedded = true;
        entry.EmbeddedData.assign(block.begin() + static_cast<std::ptrdiff_t>(first),
            block.begin() + static_cast<std::ptrdiff_t>(first + descriptors));
        return true;
    }
    return kind <= 2
        && collectExtents(
            block.data() + first, static_cast<std::size_t>(descriptors), kind, partition, readBlock, entry.Extents);
}

} // namespace

// How a partition reference's blocks reach sectors: a physical (or sparable) partition from its start,
// a metadata partition through the extents of its metadata file.
struct UdfVolume::Partition {
    struct Run {
        std::uint32_t First = 0; ///< the first block of the metadata partition the run holds
        std::uint32_t Count = 0;
        std::uint32_t Physical = 0; ///< where it lies in the physical partition
        bool Recorded = true;
    };

    bool Metadata = false;
    std::uint32_t Start = 0; ///< sector of the physical partition's block 0
    std::uint32_t Length = 0; ///< blocks of the physical partition
    std::vector<Run> Runs;

    bool sectorOf(std::uint32_t block, std::uint32_t& sector) const
    {
        if (Metadata) {
            const auto after = std::upper_bound(
                Runs.begin(), Runs.end(), block, [](std::uint32_t value, const Run& run) { return value < run.First; });
            if (after == Runs.begin()) {
                return false;
            }
            const Run& run = *(after - 1);
            if (block - run.First >= run.Count || !run.Recorded) {
                return false;
            }
            block = run.Physical + (block - run.First);
        }
        if (block >= Length || static_cast<std::uint64_t>(Start) + block > UINT32_MAX) {
            return false;
        }
        sector = Start + block;
        return true;
    }
};

namespace {

struct PartitionDescriptor {
    std::uint16_t Number = 0;
    std::uint32_t Start = 0;
    std::uint32_t Length = 0;
};

// What the volume descriptor sequence and the partition maps say.
struct UdfLayout {
    std::vector<std::shared_ptr<const UdfVolume::Partition>> Maps; ///< null where a map cannot be used
    Address FileSet;
    std::string Label;
    std::uint64_t Bytes = 0; ///< of the partition the file set lies in
    std::uint64_t End = 0; ///< the last byte of any partition
};

bool readSequence(SectorSource& source, std::uint32_t start, std::uint32_t bytes,
    std::vector<PartitionDescriptor>& partitions, Block& logical, bool& haveLogical)
{
    Block descriptor {};
    for (std::uint32_t index = 0; index < std::min(bytes / s_blockSize, s_maxSequenceSectors); ++index) {
        if (!readSector(source, static_cast<std::uint64_t>(start) + index, descriptor)
            || hasTag(descriptor.data(), s_tagTerminating)) {
            break;
        }
        if (hasTag(descriptor.data(), s_tagPartition)) {
            partitions.push_back({ little16(descriptor.data() + 22), little32(descriptor.data() + 188),
                little32(descriptor.data() + 192) });
        } else if (hasTag(descriptor.data(), s_tagLogicalVolume) && !haveLogical) {
            logical = descriptor;
            haveLogical = true;
        }
    }
    return !partitions.empty() && haveLogical;
}

// The runs of a metadata partition from its metadata file's entry at block of the physical partition.
bool metadataRuns(SectorSource& source, const UdfVolume::Partition& physical, std::uint32_t block,
    std::vector<UdfVolume::Partition::Run>& runs)
{
    const BlockReader readPhysical = [&](const Address& address, Block& into) {
        std::uint32_t sector = 0;
        return physical.sectorOf(address.Block, sector) && readSector(source, sector, into);
    };
    runs.clear();
    Block entryBlock {};
    FileEntry entry;
    if (!readPhysical({ 0, block }, entryBlock) || !parseFileEntry(entryBlock, 0, readPhysical, entry)
        || entry.Embedded) {
        return false;
    }
    std::uint64_t first = 0;
    for (const Extent& extent : entry.Extents) {
        const std::uint32_t count = (extent.Bytes + s_blockSize - 1) / s_blockSize;
        if (first + count > UINT32_MAX) {
            return false;
        }
        runs.push_back({ static_cast<std::uint32_t>(first), count, extent.Where.Block, extent.Recorded });
        first += count;
    }
    return !runs.empty();
}

// Reads the partition maps of the logical volume descriptor.
bool readPartitionMaps(SectorSource& source, const Block& logical, const std::vector<PartitionDescriptor>& partitions,
    UdfLayout& layout, std::string& problem)
{
    const auto physicalOf = [&](std::uint16_t number) -> std::shared_ptr<UdfVolume::Partition> {
        for (const PartitionDescriptor& descriptor : partitions) {
            if (descriptor.Number == number) {
                auto partition = std::make_shared<UdfVolume::Partition>();
                partition->Start = descriptor.Start;
                partition->Length = descriptor.Length;
                return partition;
            }
        }
        return nullptr;
    };
    const std::uint32_t count = little32(logical.data() + 268);
    std::size_t at = 440;
    for (std::uint32_t map = 0; map < count && map < 64 && at + 2 <= logical.size(); ++map) {
        const std::size_t length = logical[at + 1];
        if (length < 6 || at + length > logical.size()) {
            return false;
        }
        std::shared_ptr<UdfVolume::Partition> partition;
        const std::string_view identifier(reinterpret_cast<const char*>(logical.data() + at + 5), 23);
        if (logical[at] == 1) {
            partition = physicalOf(little16(logical.data() + at + 4));
        } else if (logical[at] == 2 && length >= 64 && identifier.rfind("*UDF Virtual Partition", 0) == 0) {
            problem = s_virtualPartition;
            return false;
        } else if (logical[at] == 2 && length >= 64 && identifier.rfind("*UDF Sparable Partition", 0) == 0) {
            // Read-only media need no sparing: the blocks lie where they are.
            partition = physicalOf(little16(logical.data() + at + 38));
        } else if (logical[at] == 2 && length >= 64 && identifier.rfind("*UDF Metadata Partition", 0) == 0) {
            partition = physicalOf(little16(logical.data() + at + 38));
            if (partition != nullptr) {
                // The mirror stands in when the main metadata file is damaged.
                const bool found = metadataRuns(source, *partition, little32(logical.data() + at + 40), partition->Runs)
                    || metadataRuns(source, *partition, little32(logical.data() + at + 44), partition->Runs);
                partition->Metadata = true;
                if (!found) {
                    partition = nullptr;
                }
            }
        }
        if (partition != nullptr) {
            layout.End = std::max(
                layout.End, (static_cast<std::uint64_t>(partition->Start) + partition->Length) * s_blockSize);
        }
        layout.Maps.push_back(std::move(partition));
        at += length;
    }
    return !layout.Maps.empty();
}

bool readLayout(SectorSource& source, UdfLayout& layout, std::string& problem)
{
    Block anchor {};
    if (!readSector(source, s_anchorSector, anchor) || !hasTag(anchor.data(), s_tagAnchor)) {
        return false;
    }
    std::vector<PartitionDescriptor> partitions;
    Block logical {};
    bool haveLogical = false;
    // The reserve sequence stands in when the main one is damaged.
    if (!readSequence(
            source, little32(anchor.data() + 20), little32(anchor.data() + 16), partitions, logical, haveLogical)) {
        partitions.clear();
        haveLogical = false;
        if (!readSequence(
                source, little32(anchor.data() + 28), little32(anchor.data() + 24), partitions, logical, haveLogical)) {
            return false;
        }
    }
    if (little32(logical.data() + 212) != s_blockSize
        || !readPartitionMaps(source, logical, partitions, layout, problem)) {
        return false;
    }
    layout.FileSet = { little16(logical.data() + 256), little32(logical.data() + 252) };
    const std::size_t labelLength = std::min<std::size_t>(logical[84 + 127], 127);
    if (!udfCharacters(logical.data() + 84, labelLength, layout.Label)) {
        layout.Label.clear();
    }
    if (layout.FileSet.Partition >= layout.Maps.size() || layout.Maps[layout.FileSet.Partition] == nullptr) {
        return false;
    }
    layout.Bytes = static_cast<std::uint64_t>(layout.Maps[layout.FileSet.Partition]->Length) * s_blockSize;
    return true;
}

bool sectorOf(const UdfLayout& layout, const Address& address, std::uint32_t& sector)
{
    return address.Partition < layout.Maps.size() && layout.Maps[address.Partition] != nullptr
        && layout.Maps[address.Partition]->sectorOf(address.Block, sector);
}

class UdfListing final : public DiscListing<UdfListing, Address> {
public:
    // The listing of the directory whose entry is at icb; null with the problem when it cannot be listed.
    static std::unique_ptr<UdfListing> open(std::shared_ptr<const UdfVolume> volume,
        std::shared_ptr<DirectoryWalk> walk, int depth, const Address& icb, std::string& problem)
    {
        std::unique_ptr<UdfListing> listing(new UdfListing(std::move(volume), std::move(walk), depth));
        FileEntry& directory = listing->m_directory;
        if (!listing->readEntry(icb, directory)) {
            problem = listing->m_problem;
            return nullptr;
        }
        if (directory.FileType != s_fileTypeDirectory) {
            problem = s_damagedEntry;
            return nullptr;
        }
        std::uint64_t stored = directory.EmbeddedData.size();
        for (const Extent& extent : directory.Extents) {
            listing->m_extentStarts.push_back(stored);
            stored += extent.Bytes;
        }
        listing->m_length = std::min(directory.Length, stored);
        if (listing->m_length > listing->m_volume->volumeBytes()) {
            problem = ListingProblem::ImpossibleSize;
            return nullptr;
        }
        return listing;
    }

    bool next(TKTBDirEntry& entry) override
    {
        while (!m_failed && m_position < m_length) {
            std::uint8_t header[s_identifierHeader];
            if (m_position + sizeof header > m_length) {
                return fail(ListingProblem::DamagedRecord);
            }
            if (!read(m_position, sizeof header, header)) {
                return false;
            }
            const std::size_t nameLength = header[19];
            const std::size_t useLength = little16(header + 36);
            const std::uint64_t end = m_position + s_identifierHeader + useLength + nameLength;
            if (!hasTag(header, s_tagFileIdentifier) || end > m_length) {
                return fail(ListingProblem::DamagedRecord);
            }
            std::uint8_t name[256];
            if (!read(m_position + s_identifierHeader + useLength, nameLength, name)) {
                return false;
            }
            m_position = (end + 3) / 4 * 4;
            const std::uint8_t characteristics = header[18];
            if ((characteristics & (s_characteristicDeleted | s_characteristicParent)) != 0) {
                continue;
            }
            // Only the parent's identifier goes without a name; "." and ".." and a zero character no
            // name may hold.
            std::string text;
            if (nameLength == 0 || !udfCharacters(name, nameLength, text) || text.empty() || text == "." || text == ".."
                || text.find('\0') != std::string::npos) {
                return fail(ListingProblem::DamagedRecord);
            }
            const Address icb { little16(header + 20 + 8), little32(header + 20 + 4) };
            FileEntry file;
            if (!readEntry(icb, file)) {
                m_failed = true;
                return false;
            }
            setEntryName(entry, text);
            entry.Attributes = KTB_ATTR_READONLY;
            if ((characteristics & s_characteristicHidden) != 0) {
                entry.Attributes |= KTB_ATTR_HIDDEN;
            }
            entry.LastWriteTime = file.Time;
            entry.Size = file.FileType == s_fileTypeDirectory ? 0 : file.Length;
            if (file.FileType == s_fileTypeDirectory) {
                entry.Attributes |= KTB_ATTR_DIRECTORY;
                remember(entry.Name, icb);
            }
            return true;
        }
        return false;
    }

    static std::uint64_t walkKey(const Address& icb)
    {
        return static_cast<std::uint64_t>(icb.Partition) << 32 | icb.Block;
    }

    std::unique_ptr<UdfListing> openAt(const Address& icb, std::string& problem)
    {
        return open(m_volume, m_walk, m_depth + 1, icb, problem);
    }

private:
    UdfListing(std::shared_ptr<const UdfVolume> volume, std::shared_ptr<DirectoryWalk> walk, int depth)
        : DiscListing(std::move(walk), depth)
        , m_volume(std::move(volume))
    {
    }

    // A block of the walk's share, through the volume.
    bool readBlock(const Address& address, Block& block)
    {
        if (!m_walk->take(s_blockSize)) {
            return fail(ListingProblem::OverBudget);
        }
        return m_volume->readBlock(address, block.data()) || fail(ListingProblem::Unreadable);
    }

    bool readEntry(const Address& icb, FileEntry& entry)
    {
        Block block {};
        if (!readBlock(icb, block)) {
            return false;
        }
        const BlockReader reader = [this](const Address& address, Block& into) { return readBlock(address, into); };
        if (parseFileEntry(block, icb.Partition, reader, entry)) {
            return true;
        }
        if (!m_failed) {
            fail(s_damagedEntry); // else a continuation could not be read, and said why
        }
        return false;
    }

    // Copies length bytes of the directory's data from position.
    bool read(std::uint64_t position, std::size_t length, std::uint8_t* out)
    {
        const std::vector<std::uint8_t>& embedded = m_directory.EmbeddedData;
        while (length > 0) {
            if (position < embedded.size()) {
                const std::size_t now = std::min<std::size_t>(length, embedded.size() - position);
                std::memcpy(out, embedded.data() + position, now);
                position += now;
                out += now;
                length -= now;
                continue;
            }
            const auto after = std::upper_bound(m_extentStarts.begin(), m_extentStarts.end(), position);
            if (after == m_extentStarts.begin()) {
                return fail(ListingProblem::DamagedRecord);
            }
            const std::size_t index = static_cast<std::size_t>(after - m_extentStarts.begin()) - 1;
            const Extent& extent = m_directory.Extents[index];
            const std::uint64_t inExtent = position - m_extentStarts[index];
            if (inExtent >= extent.Bytes) {
                return fail(ListingProblem::DamagedRecord); // past the directory's last extent
            }
            const std::uint64_t blockIndex = inExtent / s_blockSize;
            const Address address { extent.Where.Partition,
                extent.Where.Block + static_cast<std::uint32_t>(blockIndex) };
            const std::uint64_t key = static_cast<std::uint64_t>(index) << 32 | blockIndex;
            if (key != m_bufferKey) {
                if (!extent.Recorded) {
                    m_buffer.fill(0);
                } else if (!readBlock(address, m_buffer)) {
                    return false;
                }
                m_bufferKey = key;
            }
            const std::size_t inBlock = static_cast<std::size_t>(inExtent % s_blockSize);
            const std::size_t now = std::min<std::size_t>(
                { length, s_blockSize - inBlock, static_cast<std::size_t>(extent.Bytes - inExtent) });
            std::memcpy(out, m_buffer.data() + inBlock, now);
            position += now;
            out += now;
            length -= now;
        }
        return true;
    }

    std::shared_ptr<const UdfVolume> m_volume;
    FileEntry m_directory;
    std::vector<std::uint64_t> m_extentStarts; ///< where each extent's bytes start in the directory's data
    std::uint64_t m_length = 0;
    std::uint64_t m_position = 0;
    Block m_buffer {};
    std::uint64_t m_bufferKey = UINT64_MAX;
};

} // namespace

std::shared_ptr<UdfVolume> UdfVolume::open(std::shared_ptr<SectorSource> source, std::string* problem)
{
    UdfLayout layout;
    std::string why;
    std::uint32_t fileSetSector = 0;
    Block fileSet {};
    if (source == nullptr || !readLayout(*source, layout, why) || !sectorOf(layout, layout.FileSet, fileSetSector)
        || !readSector(*source, fileSetSector, fileSet) || !hasTag(fileSet.data(), s_tagFileSet)) {
        if (problem != nullptr) {
            *problem = why;
        }
        return nullptr;
    }
    std::shared_ptr<UdfVolume> volume(new UdfVolume());
    volume->m_facts.Label = layout.Label;
    volume->m_facts.NtSerial = __builtin_bswap32(laneSumReport(fileSet.data()));
    volume->m_facts.TotalBytes = static_cast<std::int64_t>(layout.Bytes);
    volume->m_volumeBytes = layout.End;
    const std::uint64_t sourceBytes = source->sectorCount() * s_blockSize;
    if (sourceBytes != 0 && sourceBytes < volume->m_volumeBytes) {
        volume->m_volumeBytes = sourceBytes;
    }
    volume->m_root = { little16(fileSet.data() + 400 + 8), little32(fileSet.data() + 400 + 4) };
    volume->m_maps = std::move(layout.Maps);
    volume->m_source = std::move(source);
    return volume;
}

VolumeFacts UdfVolume::facts() const { return m_facts; }

std::unique_ptr<DriveFolderListing> UdfVolume::openFolder(const std::string& relativePath)
{
    auto walk = std::make_shared<DirectoryWalk>();
    walk->Seen.insert(UdfListing::walkKey(m_root));
    walk->BytesLeft = m_volumeBytes;
    std::string problem;
    std::unique_ptr<UdfListing> listing = UdfListing::open(shared_from_this(), walk, 0, m_root, problem);
    return openListingPath(std::move(listing), relativePath, problem);
}

bool UdfVolume::readBlock(const Address& address, std::uint8_t* block) const
{
    std::uint32_t sector = 0;
    return address.Partition < m_maps.size() && m_maps[address.Partition] != nullptr
        && m_maps[address.Partition]->sectorOf(address.Block, sector) && m_source->read(sector, 1, block);
}

bool findUdfFileSetDescriptor(SectorSource& source, std::uint32_t& sector)
{
    UdfLayout layout;
    std::string problem;
    return readLayout(source, layout, problem) && sectorOf(layout, layout.FileSet, sector);
}

bool udfSerialReport(SectorSource& source, std::uint32_t& serial)
{
    std::uint32_t at = 0;
    Block fileSet {};
    if (!findUdfFileSetDescriptor(source, at) || !readSector(source, at, fileSet)
        || !hasTag(fileSet.data(), s_tagFileSet)) {
        return false;
    }
    serial = __builtin_bswap32(laneSumReport(fileSet.data()));
    return true;
}

bool udfCharacters(const std::uint8_t* field, std::size_t length, std::string& text)
{
    text.clear();
    if (length == 0) {
        return true;
    }
    const std::uint8_t compression = field[0];
    if (compression == 8 || compression == 254) {
        for (std::size_t index = 1; index < length; ++index) {
            const std::uint8_t byte = field[index];
            if (byte < 0x80) {
                text += static_cast<char>(byte);
            } else {
                text += static_cast<char>(0xC0 | byte >> 6);
                text += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
        return true;
    }
    if (compression == 16 || compression == 255) {
        text = ucs2BigEndianToUtf8(field + 1, length - 1);
        return true;
    }
    return false;
}

std::int64_t udfTimestamp(const std::uint8_t* stamp)
{
    const std::uint16_t typeAndZone = little16(stamp);
    const auto year = static_cast<std::int16_t>(little16(stamp + 2));
    std::int64_t seconds = 0;
    if (!civilTimeToUnix(year, stamp[4], stamp[5], stamp[6], stamp[7], stamp[8], seconds)) {
        return 0;
    }
    // A local time (type 1) names its offset from UTC in minutes, as a 12-bit signed number; -2047 says
    // none is known.
    int zone = typeAndZone & 0x0FFF;
    if (zone >= 0x800) {
        zone -= 0x1000;
    }
    if (typeAndZone >> 12 == 1 && zone >= -1440 && zone <= 1440) {
        seconds -= static_cast<std::int64_t>(zone) * 60;
    }
    return seconds;
}
