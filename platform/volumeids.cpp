#include "platform/volumeids.h"

#include "platform/isovolume.h"
#include "platform/medium.h"
#include "platform/sectorsource.h"

#include <algorithm>
#include <array>
#include <blkid/blkid.h>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint16_t s_tagAnchor = 2;
constexpr std::uint16_t s_tagPartition = 5;
constexpr std::uint16_t s_tagLogicalVolume = 6;
constexpr std::uint16_t s_tagTerminating = 8;
constexpr std::uint16_t s_tagFileSet = 256;
constexpr std::uint16_t s_tagFileEntry = 261;
constexpr std::uint16_t s_tagExtendedFileEntry = 266;
constexpr std::uint32_t s_anchorSector = 256;
constexpr std::uint32_t s_maxSequenceSectors = 64;

using Sector = std::array<std::uint8_t, SectorSource::SectorSize>;

std::uint16_t little16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }

std::uint32_t little32(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8
        | static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// A descriptor tag: its checksum over bytes 0..15 without byte 4, and its identifier.
bool hasTag(const Sector& sector, std::uint16_t identifier)
{
    std::uint8_t sum = 0;
    for (std::size_t index = 0; index < 16; ++index) {
        if (index != 4) {
            sum = static_cast<std::uint8_t>(sum + sector[index]);
        }
    }
    return sum == sector[4] && little16(sector.data()) == identifier;
}

bool readSector(SectorSource& source, std::uint64_t lsn, Sector& sector)
{
    return lsn <= UINT32_MAX && source.read(static_cast<std::uint32_t>(lsn), 1, sector.data());
}

bool parseHex(const std::string& text, std::uint32_t& value)
{
    if (text.empty() || text.size() > 8) {
        return false;
    }
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text.c_str(), &end, 16);
    if (*end != '\0' || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

// "ABCD-1234"
bool fatSerial(const std::string& uuid, std::uint32_t& serial)
{
    return uuid.size() == 9 && uuid[4] == '-' && parseHex(uuid.substr(0, 4) + uuid.substr(5), serial);
}

// "1C2A4F6B2A4F4330": the 64-bit serial, of which the NT family reports the low half.
bool ntfsSerial(const std::string& uuid, std::uint32_t& serial)
{
    std::uint32_t high = 0;
    return uuid.size() == 16 && parseHex(uuid.substr(0, 8), high) && parseHex(uuid.substr(8), serial);
}

// udev names labels with "\x20" for a blank and the like.
std::string decodeUdevName(const std::string& name)
{
    std::string out;
    for (std::size_t index = 0; index < name.size(); ++index) {
        std::uint32_t code = 0;
        if (name.compare(index, 2, "\\x") == 0 && index + 3 < name.size()
            && parseHex(name.substr(index + 2, 2), code)) {
            out += static_cast<char>(code);
            index += 3;
            continue;
        }
        out += name[index];
    }
    return out;
}

// The name of the link in folder that leads to the device, or "".
std::string linkNameFor(const std::string& folder, const std::string& device)
{
    std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(folder.c_str()), ::closedir);
    if (directory == nullptr) {
        return "";
    }
    while (const dirent* item = ::readdir(directory.get())) {
        const std::string name = item->d_name;
        if (name != "." && name != ".." && absolutePath(folder + "/" + name) == device) {
            return name;
        }
    }
    return "";
}

bool probeWithBlkid(const std::string& device, BlockVolume& volume)
{
    blkid_probe probe = blkid_new_probe_from_filename(device.c_str());
    if (probe == nullptr) {
        return false;
    }
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE);
    const bool found = blkid_do_safeprobe(probe) == 0;
    if (found) {
        const auto value = [probe](const char* name) {
            const char* data = nullptr;
            std::size_t length = 0;
            if (blkid_probe_lookup_value(probe, name, &data, &length) != 0 || data == nullptr) {
                return std::string();
            }
            std::string text(data, length);
            while (!text.empty() && text.back() == '\0') {
                text.pop_back();
            }
            return text;
        };
        volume.Type = value("TYPE");
        volume.Label = value("LABEL");
        volume.Uuid = value("UUID");
    }
    blkid_free_probe(probe);
    return found;
}

// Maps a logical block of a partition to a sector: the partition's start, through the extents of the
// metadata file when the partition is a metadata partition.
struct PartitionMap {
    std::uint16_t PartitionNumber = 0;
    bool Metadata = false;
    std::uint32_t MetadataFile = 0;
};

bool metadataSector(SectorSource& source, std::uint32_t partitionStart, std::uint32_t metadataFile, std::uint32_t block,
    std::uint32_t& sector)
{
    Sector entry {};
    if (!readSector(source, static_cast<std::uint64_t>(partitionStart) + metadataFile, entry)) {
        return false;
    }
    std::size_t lengthsAt = 0;
    if (hasTag(entry, s_tagFileEntry)) {
        lengthsAt = 168;
    } else if (hasTag(entry, s_tagExtendedFileEntry)) {
        lengthsAt = 208;
    } else {
        return false;
    }
    const std::uint32_t extendedLength = little32(entry.data() + lengthsAt);
    const std::uint32_t descriptorsLength = little32(entry.data() + lengthsAt + 4);
    const std::uint64_t first = lengthsAt + 8 + static_cast<std::uint64_t>(extendedLength);
    const unsigned kind = little16(entry.data() + 16 + 18) & 7; // ICB tag flags: 0 short, 1 long
    const std::size_t step = kind == 0 ? 8 : kind == 1 ? 16 : 0;
    if (step == 0 || first + descriptorsLength > entry.size()) {
        return false;
    }
    for (std::uint64_t at = first; at + step <= first + descriptorsLength; at += step) {
        const std::uint32_t bytes = little32(entry.data() + at) & 0x3FFFFFFF;
        const std::uint32_t blocks = bytes / SectorSource::SectorSize;
        if (block < blocks) {
            sector = partitionStart + little32(entry.data() + at + 4) + block;
            return true;
        }
        block -= blocks;
    }
    return false;
}

} // namespace

bool probeBlockVolume(const std::string& device, BlockVolume& volume)
{
    volume = BlockVolume();
    if (probeWithBlkid(device, volume)) {
        return true;
    }
    const std::string real = absolutePath(device);
    if (real.empty()) {
        return false;
    }
    volume.Uuid = linkNameFor("/dev/disk/by-uuid", real);
    volume.Label = decodeUdevName(linkNameFor("/dev/disk/by-label", real));
    return !volume.Uuid.empty() || !volume.Label.empty();
}

bool ntSerialFromVolumeId(const std::string& type, const std::string& uuid, std::uint32_t& serial)
{
    if (type == "vfat" || type == "msdos" || type == "exfat") {
        return fatSerial(uuid, serial);
    }
    if (type == "ntfs" || type == "ntfs3") {
        return ntfsSerial(uuid, serial);
    }
    if (type.empty() || type == "fuseblk") {
        return fatSerial(uuid, serial) || ntfsSerial(uuid, serial);
    }
    return false;
}

std::uint32_t folderPathSerial(const std::string& folder)
{
    std::uint32_t hash = 2166136261U; // FNV-1a
    for (const char byte : folder) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 16777619U;
    }
    return hash != 0 ? hash : 1;
}

bool findUdfFileSetDescriptor(SectorSource& source, std::uint32_t& sector)
{
    Sector anchor {};
    if (!readSector(source, s_anchorSector, anchor) || !hasTag(anchor, s_tagAnchor)) {
        return false;
    }
    const std::uint32_t sequenceLength = little32(anchor.data() + 16) / SectorSource::SectorSize;
    const std::uint32_t sequenceStart = little32(anchor.data() + 20);
    bool havePartition = false;
    bool haveVolume = false;
    std::uint16_t partitionNumber = 0;
    std::uint32_t partitionStart = 0;
    std::uint32_t fileSetBlock = 0;
    std::uint16_t fileSetPartition = 0;
    std::vector<PartitionMap> maps;
    Sector descriptor {};
    for (std::uint32_t index = 0; index < std::min(sequenceLength, s_maxSequenceSectors); ++index) {
        if (!readSector(source, static_cast<std::uint64_t>(sequenceStart) + index, descriptor)
            || hasTag(descriptor, s_tagTerminating)) {
            break;
        }
        if (hasTag(descriptor, s_tagPartition) && !havePartition) {
            havePartition = true;
            partitionNumber = little16(descriptor.data() + 22);
            partitionStart = little32(descriptor.data() + 188);
        } else if (hasTag(descriptor, s_tagLogicalVolume) && !haveVolume) {
            if (little32(descriptor.data() + 212) != SectorSource::SectorSize) {
                return false;
            }
            haveVolume = true;
            fileSetBlock = little32(descriptor.data() + 252);
            fileSetPartition = little16(descriptor.data() + 256);
            const std::uint32_t mapCount = little32(descriptor.data() + 268);
            std::size_t at = 440;
            for (std::uint32_t map = 0; map < mapCount && at + 2 <= descriptor.size(); ++map) {
                const std::size_t length = descriptor[at + 1];
                if (length < 6 || at + length > descriptor.size()) {
                    break;
                }
                PartitionMap entry;
                if (descriptor[at] == 1) {
                    entry.PartitionNumber = little16(descriptor.data() + at + 4);
                } else if (descriptor[at] == 2 && length >= 44
                    && std::string_view(reinterpret_cast<const char*>(descriptor.data() + at + 5), 23)
                        == "*UDF Metadata Partition") {
                    entry.PartitionNumber = little16(descriptor.data() + at + 38);
                    entry.Metadata = true;
                    entry.MetadataFile = little32(descriptor.data() + at + 40);
                }
                maps.push_back(entry);
                at += length;
            }
        }
    }
    if (!havePartition || !haveVolume) {
        return false;
    }
    if (fileSetPartition < maps.size() && maps[fileSetPartition].PartitionNumber == partitionNumber
        && maps[fileSetPartition].Metadata) {
        return metadataSector(source, partitionStart, maps[fileSetPartition].MetadataFile, fileSetBlock, sector);
    }
    const std::uint64_t found = static_cast<std::uint64_t>(partitionStart) + fileSetBlock;
    if (found > UINT32_MAX) {
        return false;
    }
    sector = static_cast<std::uint32_t>(found);
    return true;
}

bool udfSerialReport(SectorSource& source, std::uint32_t& serial)
{
    std::uint32_t at = 0;
    Sector fileSet {};
    if (!findUdfFileSetDescriptor(source, at) || !readSector(source, at, fileSet) || !hasTag(fileSet, s_tagFileSet)) {
        return false;
    }
    serial = __builtin_bswap32(laneSumReport(fileSet.data()));
    return true;
}
