#include "tests/support/udfimage.h"

#include <algorithm>
#include <map>
#include <memory>

namespace {

constexpr std::size_t s_block = 2048;
constexpr std::uint8_t s_fileTypeDirectory = 4;
constexpr std::uint8_t s_fileTypeFile = 5;

void put8(std::string& out, std::size_t at, std::uint8_t value) { out[at] = static_cast<char>(value); }

void put16(std::string& out, std::size_t at, std::uint16_t value)
{
    out[at] = static_cast<char>(value);
    out[at + 1] = static_cast<char>(value >> 8);
}

void put32(std::string& out, std::size_t at, std::uint32_t value)
{
    for (std::size_t index = 0; index < 4; ++index) {
        out[at + index] = static_cast<char>(value >> (8 * index));
    }
}

void put64(std::string& out, std::size_t at, std::uint64_t value)
{
    put32(out, at, static_cast<std::uint32_t>(value));
    put32(out, at + 4, static_cast<std::uint32_t>(value >> 32));
}

// The code points of UTF-8 text (the tests' names are valid UTF-8).
std::vector<char32_t> codePoints(const std::string& text)
{
    std::vector<char32_t> points;
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t index = 1; index < length && at + index < text.size(); ++index) {
            code = code << 6 | (static_cast<unsigned char>(text[at + index]) & 0x3F);
        }
        points.push_back(code);
        at += length;
    }
    return points;
}

// d-characters: compression 8 (one byte a character) when every character fits, else 16 (UTF-16BE).
std::string udfCharacters(const std::string& text)
{
    const std::vector<char32_t> points = codePoints(text);
    const bool narrow = std::all_of(points.begin(), points.end(), [](char32_t code) { return code < 0x100; });
    std::string out(1, static_cast<char>(narrow ? 8 : 16));
    for (char32_t code : points) {
        if (narrow) {
            out += static_cast<char>(code);
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            const char32_t high = 0xD800 + (code >> 10);
            const char32_t low = 0xDC00 + (code & 0x3FF);
            out += { static_cast<char>(high >> 8), static_cast<char>(high & 0xFF), static_cast<char>(low >> 8),
                static_cast<char>(low & 0xFF) };
            continue;
        }
        out += { static_cast<char>(code >> 8), static_cast<char>(code & 0xFF) };
    }
    return out;
}

// A dstring field of length bytes: the characters, then their length in the last byte.
void putDstring(std::string& out, std::size_t at, std::size_t length, const std::string& text)
{
    const std::string characters = udfCharacters(text).substr(0, length - 1);
    out.replace(at, characters.size(), characters);
    put8(out, at + length - 1, static_cast<std::uint8_t>(characters.size()));
}

void putEntityId(std::string& out, std::size_t at, const std::string& identifier, std::uint16_t revision = 0)
{
    out.replace(at + 1, identifier.size(), identifier);
    if (revision != 0) {
        put16(out, at + 24, revision);
    }
}

// Days since 1970-01-01 to a civil date.
void civilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    month = shifted < 10 ? shifted + 3 : shifted - 9;
    year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

void putTimestamp(std::string& out, std::size_t at, std::int64_t utc, int zoneMinutes)
{
    const std::int64_t local = utc + static_cast<std::int64_t>(zoneMinutes) * 60;
    const std::int64_t days = (local >= 0 ? local : local - 86399) / 86400;
    const std::int64_t seconds = local - days * 86400;
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civilFromDays(days, year, month, day);
    put16(out, at, static_cast<std::uint16_t>(0x1000 | (zoneMinutes & 0x0FFF)));
    put16(out, at + 2, static_cast<std::uint16_t>(year));
    put8(out, at + 4, static_cast<std::uint8_t>(month));
    put8(out, at + 5, static_cast<std::uint8_t>(day));
    put8(out, at + 6, static_cast<std::uint8_t>(seconds / 3600));
    put8(out, at + 7, static_cast<std::uint8_t>(seconds / 60 % 60));
    put8(out, at + 8, static_cast<std::uint8_t>(seconds % 60));
}

std::uint16_t crcItu(const char* bytes, std::size_t length)
{
    std::uint16_t crc = 0;
    for (std::size_t index = 0; index < length; ++index) {
        crc ^= static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[index]) << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? crc << 1 ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

// Fills in the tag of the descriptor at out[at], length bytes long: identifier, version, location, CRC
// over the body and the checksum.
void sealTag(std::string& out, std::size_t at, std::uint16_t identifier, std::uint16_t version, std::uint32_t location,
    std::size_t length)
{
    put16(out, at, identifier);
    put16(out, at + 2, version);
    put16(out, at + 6, 1); // serial number
    put16(out, at + 8, crcItu(out.data() + at + 16, length - 16));
    put16(out, at + 10, static_cast<std::uint16_t>(length - 16));
    put32(out, at + 12, location);
    out[at + 4] = static_cast<char>(udfTagChecksum(out.data() + at));
}

} // namespace

std::uint8_t udfTagChecksum(const char* tag)
{
    std::uint8_t sum = 0;
    for (std::size_t index = 0; index < 16; ++index) {
        sum = static_cast<std::uint8_t>(sum + (index == 4 ? 0 : static_cast<unsigned char>(tag[index])));
    }
    return sum;
}

struct UdfImage::Node {
    std::string Name;
    std::string Path;
    bool Folder = true;
    bool Hidden = false;
    std::uint64_t Size = 0;
    std::int64_t Time = DiscTreeTime;
    std::vector<std::unique_ptr<Node>> Children;
    Node* Parent = nullptr;
    std::uint32_t Entry = 0; ///< block of the entry in the space of entries and directories
    std::uint32_t Data = 0; ///< first block of the data (directories: same space; files: physical)
    std::string Identifiers; ///< directories: the identifier descriptors, once laid out
};

UdfImage::UdfImage(const std::vector<DiscTreeEntry>& tree, const UdfImageOptions& options)
    : m_options(options)
{
    build(tree);
}

void UdfImage::build(const std::vector<DiscTreeEntry>& tree)
{
    const UdfImageOptions& o = m_options;
    const std::uint16_t version = o.Revision >= 0x0200 ? 3 : 2;
    const bool extended = o.ExtendedEntries || o.MetadataPartition;
    const std::size_t descriptorsAt = extended ? 216 : 176;
    // Entries and directories live in partition reference 0 (physical) or 1 (metadata); file data always
    // in the physical partition.
    const std::uint16_t metaReference = o.MetadataPartition ? 1 : 0;
    const bool longAllocation = o.LongAllocation || o.MetadataPartition;

    Node root;
    for (const DiscTreeEntry& item : tree) {
        const bool folder = item.Path.back() == '/';
        const std::string path = folder ? item.Path.substr(0, item.Path.size() - 1) : item.Path;
        Node* parent = &root;
        std::size_t start = 0;
        for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start)) {
            const std::string part = path.substr(start, slash - start);
            const auto found = std::find_if(parent->Children.begin(), parent->Children.end(),
                [&](const std::unique_ptr<Node>& child) { return child->Name == part; });
            parent = found->get();
            start = slash + 1;
        }
        auto node = std::make_unique<Node>();
        node->Name = path.substr(start);
        node->Path = path;
        node->Folder = folder;
        node->Hidden = node->Name.front() == '.';
        node->Size = folder ? 0 : item.Size;
        node->Time = item.Time;
        node->Parent = parent;
        parent->Children.push_back(std::move(node));
    }

    // The identifiers' bytes depend on names only: their sizes are known before blocks are given out.
    const auto identifierLength
        = [](const std::string& name) { return (38 + (name.empty() ? 0 : udfCharacters(name).size()) + 3) / 4 * 4; };
    std::vector<Node*> order;
    const auto collect = [&order](Node* node, const auto& self) -> void {
        order.push_back(node);
        for (const auto& child : node->Children) {
            self(child.get(), self);
        }
    };
    collect(&root, collect);
    const auto directoryBytes = [&](const Node& node) {
        std::size_t bytes = identifierLength("");
        for (const auto& child : node.Children) {
            bytes += identifierLength(child->Name);
        }
        return bytes;
    };
    const auto embedded = [&](const Node& node) {
        return o.EmbeddedDirectories && node.Folder && directoryBytes(node) <= s_block - descriptorsAt;
    };
    std::uint32_t metaBlocks = 1; // block 0: the file set
    for (Node* node : order) {
        node->Entry = metaBlocks++;
        if (node->Folder && !embedded(*node)) {
            node->Data = metaBlocks;
            metaBlocks += static_cast<std::uint32_t>((directoryBytes(*node) + s_block - 1) / s_block);
        }
    }
    // Physical blocks: with a metadata partition first its file, its mirror and its blocks.
    const std::uint32_t metaStart = o.MetadataPartition ? 2 : 0;
    std::uint32_t physicalBlocks = metaStart + metaBlocks;
    for (Node* node : order) {
        if (!node->Folder && node->Size > 0) {
            node->Data = physicalBlocks;
            physicalBlocks += static_cast<std::uint32_t>((node->Size + s_block - 1) / s_block);
        }
    }
    const auto sectorOfMeta = [&](std::uint32_t block) { return PartitionStart + metaStart + block; };
    m_image.assign((PartitionStart + physicalBlocks + 16) * s_block, '\0');
    const auto sector = [](std::uint32_t at) { return static_cast<std::size_t>(at) * s_block; };

    // The volume recognition sequence, after the ISO 9660 descriptors when there are any.
    const std::uint32_t recognition = o.EmptyIsoVolume ? 18 : 16;
    const char* nsr = o.Revision >= 0x0200 ? "NSR03" : "NSR02";
    for (const auto& [at, identifier] : { std::pair<std::uint32_t, const char*> { recognition, "BEA01" },
             { recognition + 1, nsr }, { recognition + 2, "TEA01" } }) {
        m_image.replace(sector(at) + 1, 5, identifier);
        put8(m_image, sector(at) + 6, 1);
    }
    if (o.EmptyIsoVolume) {
        writeEmptyIsoVolume();
    }
    // The volume descriptor sequences: primary, partition, logical volume, terminator.
    for (const std::uint32_t first : { MainSequence, ReserveSequence }) {
        std::size_t at = sector(first);
        put32(m_image, at + 16, 1);
        putDstring(m_image, at + 24, 32, o.VolumeId);
        put16(m_image, at + 56, 1);
        put16(m_image, at + 58, 1);
        put16(m_image, at + 60, 2);
        put16(m_image, at + 62, 3);
        put32(m_image, at + 64, 1);
        put32(m_image, at + 68, 1);
        putDstring(m_image, at + 72, 128, "KATALOX SET " + o.VolumeId);
        putTimestamp(m_image, at + 376, DiscImageEpoch, o.ZoneMinutes);
        putEntityId(m_image, at + 388, "*Katalox tests");
        sealTag(m_image, at, 1, version, first, 512);

        at = sector(first + 1);
        put32(m_image, at + 16, 2);
        put16(m_image, at + 20, 1);
        put16(m_image, at + 22, 0);
        putEntityId(m_image, at + 24, o.Revision >= 0x0200 ? "+NSR03" : "+NSR02");
        put32(m_image, at + 184, 1); // read-only
        put32(m_image, at + 188, PartitionStart);
        put32(m_image, at + 192, physicalBlocks);
        sealTag(m_image, at, 5, version, first + 1, 512);

        at = sector(first + 2);
        put32(m_image, at + 16, 3);
        m_image.replace(at + 21, 23, "OSTA Compressed Unicode");
        putDstring(m_image, at + 84, 128, o.Label);
        put32(m_image, at + 212, s_block);
        putEntityId(m_image, at + 216, "*OSTA UDF Compliant", o.Revision);
        put32(m_image, at + 248, s_block);
        put32(m_image, at + 252, 0);
        put16(m_image, at + 256, metaReference);
        std::size_t map = at + 440;
        put8(m_image, map, 1);
        put8(m_image, map + 1, 6);
        put16(m_image, map + 2, 1);
        put16(m_image, map + 4, 0);
        std::uint32_t maps = 1;
        map += 6;
        if (o.MetadataPartition) {
            put8(m_image, map, 2);
            put8(m_image, map + 1, 64);
            putEntityId(m_image, map + 4, "*UDF Metadata Partition", o.Revision);
            put16(m_image, map + 36, 1);
            put16(m_image, map + 38, 0);
            put32(m_image, map + 40, 0); // the metadata file
            put32(m_image, map + 44, 1); // its mirror
            put32(m_image, map + 48, 0xFFFFFFFF); // no bitmap
            put32(m_image, map + 52, 32);
            put16(m_image, map + 56, 16);
            maps = 2;
            map += 64;
        }
        put32(m_image, at + 264, static_cast<std::uint32_t>(map - at - 440));
        put32(m_image, at + 268, maps);
        putEntityId(m_image, at + 272, "*Katalox tests");
        sealTag(m_image, at, 6, version, first + 2, map - at);

        sealTag(m_image, sector(first + 3), 8, version, first + 3, 512);
    }
    put32(m_image, sector(Anchor) + 16, 16 * s_block);
    put32(m_image, sector(Anchor) + 20, MainSequence);
    put32(m_image, sector(Anchor) + 24, 16 * s_block);
    put32(m_image, sector(Anchor) + 28, ReserveSequence);
    sealTag(m_image, sector(Anchor), 2, version, Anchor, 512);

    // An allocation descriptor of bytes at block: short (in the entry's own partition) or long.
    const auto allocation = [&](std::uint64_t bytes, std::uint32_t block, std::uint16_t reference) {
        std::string descriptor(longAllocation ? 16 : 8, '\0');
        put32(descriptor, 0, static_cast<std::uint32_t>(bytes));
        put32(descriptor, 4, block);
        if (longAllocation) {
            put16(descriptor, 8, reference);
        }
        return descriptor;
    };
    const auto writeEntry = [&](std::uint32_t at, std::uint32_t location, std::uint8_t fileType, std::uint64_t length,
                                std::int64_t time, const std::string& descriptors, unsigned kind, std::uint64_t id) {
        const std::size_t base = sector(at);
        const std::size_t icb = base + 16;
        put16(m_image, icb + 4, 4); // strategy 4
        put16(m_image, icb + 8, 1);
        put8(m_image, icb + 11, fileType);
        put16(m_image, icb + 18, static_cast<std::uint16_t>(kind));
        put32(m_image, base + 36, 0xFFFFFFFF);
        put32(m_image, base + 40, 0xFFFFFFFF);
        put32(m_image, base + 44, 0x14A5);
        put16(m_image, base + 48, 1);
        put64(m_image, base + 56, length);
        if (extended) {
            put64(m_image, base + 64, length);
            put64(m_image, base + 72, (length + s_block - 1) / s_block);
            for (const std::size_t stamp : { 80U, 92U, 104U, 116U }) {
                putTimestamp(m_image, base + stamp, time, o.ZoneMinutes);
            }
            put32(m_image, base + 128, 1);
            putEntityId(m_image, base + 168, "*Katalox tests");
            put64(m_image, base + 200, id);
            put32(m_image, base + 212, static_cast<std::uint32_t>(descriptors.size()));
        } else {
            put64(m_image, base + 64, (length + s_block - 1) / s_block);
            for (const std::size_t stamp : { 72U, 84U, 96U }) {
                putTimestamp(m_image, base + stamp, time, o.ZoneMinutes);
            }
            put32(m_image, base + 108, 1);
            putEntityId(m_image, base + 128, "*Katalox tests");
            put64(m_image, base + 160, id);
            put32(m_image, base + 172, static_cast<std::uint32_t>(descriptors.size()));
        }
        m_image.replace(base + descriptorsAt, descriptors.size(), descriptors);
        sealTag(m_image, base, extended ? 266 : 261, version, location, descriptorsAt + descriptors.size());
    };

    // The metadata file and its mirror: one extent over the metadata partition's blocks.
    if (o.MetadataPartition) {
        for (const std::uint32_t block : { 0U, 1U }) {
            std::string descriptor(8, '\0');
            put32(descriptor, 0, metaBlocks * static_cast<std::uint32_t>(s_block));
            put32(descriptor, 4, metaStart);
            writeEntry(PartitionStart + block, block, block == 0 ? 250 : 251, std::uint64_t(metaBlocks) * s_block,
                DiscImageEpoch, descriptor, 0, 0);
        }
    }
    // The file set.
    const std::size_t fileSet = sector(sectorOfMeta(0));
    putTimestamp(m_image, fileSet + 16, DiscImageEpoch, o.ZoneMinutes);
    put16(m_image, fileSet + 28, 3);
    put16(m_image, fileSet + 30, 3);
    put32(m_image, fileSet + 32, 1);
    put32(m_image, fileSet + 36, 1);
    m_image.replace(fileSet + 49, 23, "OSTA Compressed Unicode");
    putDstring(m_image, fileSet + 112, 128, o.Label);
    m_image.replace(fileSet + 241, 23, "OSTA Compressed Unicode");
    putDstring(m_image, fileSet + 304, 32, o.Label);
    put32(m_image, fileSet + 400, s_block);
    put32(m_image, fileSet + 404, root.Entry);
    put16(m_image, fileSet + 408, metaReference);
    putEntityId(m_image, fileSet + 416, "*OSTA UDF Compliant", o.Revision);
    sealTag(m_image, fileSet, 256, version, 0, 512);
    m_fileSetSector = sectorOfMeta(0);

    // Entries and directories.
    std::uint64_t uniqueId = 16;
    for (Node* node : order) {
        m_places.push_back({ node->Path, { sectorOfMeta(node->Entry), node->Folder ? sectorOfMeta(node->Data) : 0 } });
        if (!node->Folder) {
            std::string descriptors;
            if (node->Size > 0) {
                const std::string bytes = discTreeFileBytes(node->Size);
                m_image.replace(sector(PartitionStart + node->Data), bytes.size(), bytes);
                descriptors = allocation(node->Size, node->Data, 0);
            }
            writeEntry(sectorOfMeta(node->Entry), node->Entry, s_fileTypeFile, node->Size, node->Time, descriptors,
                longAllocation ? 1 : 0, uniqueId++);
            continue;
        }
        const bool inside = embedded(*node);
        std::string identifiers;
        const auto identifier = [&](const Node* target, std::uint8_t characteristics, const std::string& name) {
            const std::size_t at = identifiers.size();
            const std::string characters = name.empty() ? std::string() : udfCharacters(name);
            identifiers.resize(at + identifierLength(name), '\0');
            put16(identifiers, at + 16, 1);
            put8(identifiers, at + 18, characteristics);
            put8(identifiers, at + 19, static_cast<std::uint8_t>(characters.size()));
            put32(identifiers, at + 20, s_block);
            put32(identifiers, at + 24, target->Entry);
            put16(identifiers, at + 28, metaReference);
            identifiers.replace(at + 38, characters.size(), characters);
            const std::uint32_t location = inside ? node->Entry : node->Data + static_cast<std::uint32_t>(at / s_block);
            sealTag(identifiers, at, 257, version, location, 38 + characters.size());
        };
        identifier(node->Parent != nullptr ? node->Parent : node, 0x0A, "");
        for (const auto& child : node->Children) {
            identifier(
                child.get(), static_cast<std::uint8_t>((child->Folder ? 2 : 0) | (child->Hidden ? 1 : 0)), child->Name);
        }
        if (inside) {
            writeEntry(sectorOfMeta(node->Entry), node->Entry, s_fileTypeDirectory, identifiers.size(), node->Time,
                identifiers, 3, uniqueId++);
            continue;
        }
        m_image.replace(sector(sectorOfMeta(node->Data)), identifiers.size(), identifiers);
        writeEntry(sectorOfMeta(node->Entry), node->Entry, s_fileTypeDirectory, identifiers.size(), node->Time,
            allocation(identifiers.size(), node->Data, metaReference), longAllocation ? 1 : 0, uniqueId++);
    }
}

void UdfImage::writeEmptyIsoVolume()
{
    // Both-byte-order numbers, as ISO 9660 stores them.
    const auto both32 = [this](std::size_t at, std::uint32_t value) {
        put32(m_image, at, value);
        for (std::size_t index = 0; index < 4; ++index) {
            m_image[at + 7 - index] = static_cast<char>(value >> (8 * index));
        }
    };
    const auto both16 = [this](std::size_t at, std::uint16_t value) {
        put16(m_image, at, value);
        put8(m_image, at + 2, static_cast<std::uint8_t>(value >> 8));
        put8(m_image, at + 3, static_cast<std::uint8_t>(value));
    };
    // A directory record of the top folder: "." (identifier 0) or ".." (1).
    const auto rootRecord = [&](std::size_t at, char identifier) {
        put8(m_image, at, 34);
        both32(at + 2, IsoRoot);
        both32(at + 10, s_block);
        put8(m_image, at + 18, 120);
        put8(m_image, at + 19, 9);
        put8(m_image, at + 20, 13);
        put8(m_image, at + 24, 0);
        put8(m_image, at + 25, 2);
        both16(at + 28, 1);
        put8(m_image, at + 32, 1);
        m_image[at + 33] = identifier;
    };
    const std::size_t primary = IsoPrimary * s_block;
    m_image[primary] = 1;
    m_image.replace(primary + 1, 6, std::string("CD001\x01", 6));
    m_image.replace(primary + 8, 32, std::string(32, ' '));
    std::string label = m_options.VolumeId.substr(0, 32);
    label.resize(32, ' ');
    m_image.replace(primary + 40, 32, label);
    both32(primary + 80, static_cast<std::uint32_t>(m_image.size() / s_block));
    both16(primary + 120, 1);
    both16(primary + 124, 1);
    both16(primary + 128, s_block);
    both32(primary + 132, 10); // the path tables hold the top folder alone
    put32(m_image, primary + 140, IsoRoot + 1);
    for (std::size_t index = 0; index < 4; ++index) {
        m_image[primary + 148 + index] = static_cast<char>((IsoRoot + 2) >> (8 * (3 - index)));
    }
    rootRecord(primary + 156, '\0');
    put8(m_image, primary + 881, 1);
    const std::size_t terminator = (IsoPrimary + 1) * s_block;
    m_image[terminator] = static_cast<char>(255);
    m_image.replace(terminator + 1, 6, std::string("CD001\x01", 6));
    rootRecord(IsoRoot * s_block, '\0');
    rootRecord(IsoRoot * s_block + 34, '\1');
    for (const std::uint32_t table : { IsoRoot + 1, IsoRoot + 2 }) {
        const std::size_t at = table * s_block;
        put8(m_image, at, 1);
        if (table == IsoRoot + 1) {
            put32(m_image, at + 2, IsoRoot);
            put16(m_image, at + 6, 1);
        } else {
            for (std::size_t index = 0; index < 4; ++index) {
                m_image[at + 2 + index] = static_cast<char>(IsoRoot >> (8 * (3 - index)));
            }
            put8(m_image, at + 7, 1);
        }
    }
}

std::uint32_t UdfImage::entrySector(const std::string& path) const
{
    for (const auto& [where, place] : m_places) {
        if (where == path) {
            return place.first;
        }
    }
    return 0;
}

std::uint32_t UdfImage::directoryDataSector(const std::string& path) const
{
    for (const auto& [where, place] : m_places) {
        if (where == path) {
            return place.second;
        }
    }
    return 0;
}

void UdfImage::poke(std::uint32_t sector, std::size_t offset, std::uint8_t value)
{
    m_image[static_cast<std::size_t>(sector) * s_block + offset] = static_cast<char>(value);
}

void UdfImage::put32AndSeal(std::uint32_t sector, std::size_t offset, std::uint32_t value)
{
    put32(m_image, static_cast<std::size_t>(sector) * s_block + offset, value);
    seal(sector);
}

void UdfImage::seal(std::uint32_t sector)
{
    const std::size_t at = static_cast<std::size_t>(sector) * s_block;
    m_image[at + 4] = static_cast<char>(udfTagChecksum(m_image.data() + at));
}
