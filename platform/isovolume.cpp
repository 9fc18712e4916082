#include "platform/isovolume.h"

#include "platform/bytefields.h"
#include "platform/disclisting.h"
#include "platform/sectorsource.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace {

constexpr std::size_t s_descriptorSize = SectorSource::SectorSize;
// Descriptors looked at before giving up; real discs hold a handful.
constexpr int s_maxDescriptors = 32;
// A listing reads its directory this many bytes at a time (a multiple of every block size).
constexpr std::uint32_t s_chunkBytes = 16 * SectorSource::SectorSize;
constexpr std::size_t s_recordHeader = 33;
constexpr std::size_t s_rootRecordOffset = 156;
constexpr const char* s_beyondVolume = "it lies beyond the end of the volume";

constexpr std::uint8_t s_flagHidden = 1;
constexpr std::uint8_t s_flagDirectory = 2;
constexpr std::uint8_t s_flagAssociated = 4;
constexpr std::uint8_t s_flagMultiExtent = 0x80;

bool validBlockSize(std::uint32_t size) { return size == 512 || size == 1024 || size == 2048; }

bool isJolietEscape(const std::uint8_t* escape)
{
    return escape[0] == '%' && escape[1] == '/' && (escape[2] == '@' || escape[2] == 'C' || escape[2] == 'E');
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A label field: up to the first zero, trailing blanks removed.
std::string trimLabel(std::string label)
{
    const std::size_t zero = label.find('\0');
    if (zero != std::string::npos) {
        label.resize(zero);
    }
    while (!label.empty() && label.back() == ' ') {
        label.pop_back();
    }
    return label;
}

// One directory record, copied out of the listing's bytes.
struct Record {
    std::uint32_t Extent = 0;
    std::uint8_t ExtendedAttributes = 0;
    std::uint32_t Size = 0;
    std::uint8_t Flags = 0;
    std::array<std::uint8_t, 7> Time {};
    std::string Identifier;
};

class IsoListing final : public DiscListing<IsoListing, IsoVolume::Extent> {
public:
    // The listing of the directory at extent; null with the problem when it cannot be listed.
    static std::unique_ptr<IsoListing> open(std::shared_ptr<const IsoVolume> volume,
        std::shared_ptr<DirectoryWalk> walk, int depth, const IsoVolume::Extent& extent, std::string& problem)
    {
        const std::uint64_t block = volume->blockSize();
        const std::uint64_t length = (static_cast<std::uint64_t>(extent.Size) + block - 1) / block * block;
        if (extent.Size == 0 || length > volume->volumeBytes()) {
            problem = ListingProblem::ImpossibleSize;
            return nullptr;
        }
        if (extent.ByteOffset + length > volume->volumeEnd()) {
            problem = s_beyondVolume;
            return nullptr;
        }
        std::unique_ptr<IsoListing> listing(new IsoListing(std::move(volume), std::move(walk), depth, extent, length));
        if (!listing->load(0)) {
            problem = listing->m_problem;
            return nullptr;
        }
        return listing;
    }

    bool next(TKTBDirEntry& entry) override
    {
        Record record;
        while (take(record)) {
            if (record.Identifier.size() == 1 && static_cast<std::uint8_t>(record.Identifier[0]) <= 1) {
                continue; // "." and ".."
            }
            if ((record.Flags & s_flagAssociated) != 0) {
                continue; // resource forks and the like belong to the file before them
            }
            const Record head = record;
            std::uint64_t size = record.Size;
            if ((head.Flags & s_flagDirectory) == 0 && !joinExtents(record, size)) {
                return false;
            }
            const std::string name = isoRecordName(reinterpret_cast<const std::uint8_t*>(head.Identifier.data()),
                head.Identifier.size(), m_volume->joliet());
            if (name.empty() || name == "." || name == "..") {
                continue;
            }
            fillEntry(entry, head, name, size);
            return true;
        }
        return false;
    }

    static std::uint64_t walkKey(const IsoVolume::Extent& extent) { return extent.ByteOffset; }

    std::unique_ptr<IsoListing> openAt(const IsoVolume::Extent& extent, std::string& problem)
    {
        return open(m_volume, m_walk, m_depth + 1, extent, problem);
    }

private:
    IsoListing(std::shared_ptr<const IsoVolume> volume, std::shared_ptr<DirectoryWalk> walk, int depth,
        const IsoVolume::Extent& extent, std::uint64_t length)
        : DiscListing(std::move(walk), depth)
        , m_volume(std::move(volume))
        , m_extent(extent)
        , m_length(length)
    {
    }

    // Reads the chunk of the directory that holds position, from the walk's share of bytes.
    bool load(std::uint64_t position)
    {
        const std::uint64_t start = position / s_chunkBytes * s_chunkBytes;
        const auto length = static_cast<std::uint32_t>(std::min<std::uint64_t>(s_chunkBytes, m_length - start));
        if (!m_walk->take(length)) {
            return fail(ListingProblem::OverBudget);
        }
        m_chunk.resize(length);
        if (!m_volume->readDirectory(m_extent, start, length, m_chunk.data())) {
            return fail(ListingProblem::Unreadable);
        }
        m_chunkStart = start;
        return true;
    }

    bool take(Record& record)
    {
        if (m_pending.has_value()) {
            record = std::move(*m_pending);
            m_pending.reset();
            return true;
        }
        return nextRecord(record);
    }

    // A multi-extent file is one file: its records follow each other under one name, all but the last
    // marked. A record of another name after a marked one starts an entry of its own.
    bool joinExtents(Record& record, std::uint64_t& size)
    {
        while ((record.Flags & s_flagMultiExtent) != 0) {
            Record following;
            if (!nextRecord(following)) {
                return !m_failed;
            }
            if (following.Identifier != record.Identifier || (following.Flags & s_flagDirectory) != 0) {
                m_pending = std::move(following);
                return true;
            }
            size += following.Size;
            record = std::move(following);
        }
        return true;
    }

    // The next record; false at the end of the directory, or at damage (failed() then tells).
    bool nextRecord(Record& record)
    {
        const std::size_t block = m_volume->blockSize();
        while (!m_failed && m_position < m_length) {
            if (m_position >= m_chunkStart + m_chunk.size() && !load(m_position)) {
                return false;
            }
            const std::uint8_t* at = m_chunk.data() + (m_position - m_chunkStart);
            const std::size_t length = at[0];
            const std::size_t inBlock = m_position % block;
            if (length == 0) {
                // Records never cross a block: the rest of it is padding, zero bytes up to the directory's
                // end. Anything else there is a record the walk would drop unseen.
                const std::uint64_t paddingEnd = std::min<std::uint64_t>(m_position + (block - inBlock), m_extent.Size);
                if (m_position < paddingEnd
                    && std::any_of(at, at + (paddingEnd - m_position), [](std::uint8_t byte) { return byte != 0; })) {
                    return fail(ListingProblem::DamagedRecord);
                }
                m_position += block - inBlock;
                continue;
            }
            // A record shorter than its fixed part, crossing its block's end, without a name or with a
            // name running past its end: the rest of the folder cannot be trusted.
            if (length < s_recordHeader + 1 || inBlock + length > block || m_position + length > m_length) {
                return fail(ListingProblem::DamagedRecord);
            }
            const std::size_t identifierLength = at[32];
            if (identifierLength == 0 || s_recordHeader + identifierLength > length) {
                return fail(ListingProblem::DamagedRecord);
            }
            record.ExtendedAttributes = at[1];
            record.Extent = little32(at + 2);
            record.Size = little32(at + 10);
            std::copy(at + 18, at + 25, record.Time.begin());
            record.Flags = at[25];
            record.Identifier.assign(reinterpret_cast<const char*>(at + s_recordHeader), identifierLength);
            m_position += length;
            return true;
        }
        return false;
    }

    void fillEntry(TKTBDirEntry& entry, const Record& record, const std::string& name, std::uint64_t size)
    {
        setEntryName(entry, name);
        entry.LastWriteTime = isoRecordTime(record.Time.data());
        entry.Attributes = KTB_ATTR_READONLY;
        if ((record.Flags & s_flagHidden) != 0) {
            entry.Attributes |= KTB_ATTR_HIDDEN;
        }
        if ((record.Flags & s_flagDirectory) != 0) {
            entry.Attributes |= KTB_ATTR_DIRECTORY;
            entry.Size = 0;
            const std::uint64_t start
                = (static_cast<std::uint64_t>(record.Extent) + record.ExtendedAttributes) * m_volume->blockSize();
            remember(entry.Name, IsoVolume::Extent { start, record.Size });
            return;
        }
        entry.Size = size;
    }

    std::shared_ptr<const IsoVolume> m_volume;
    IsoVolume::Extent m_extent;
    std::uint64_t m_length; // the extent's size in whole blocks
    std::vector<std::uint8_t> m_chunk;
    std::uint64_t m_chunkStart = 0;
    std::uint64_t m_position = 0;
    std::optional<Record> m_pending;
};

// A descriptor's root directory record, if it is one.
bool rootExtent(const std::uint8_t* descriptor, std::uint32_t blockSize, IsoVolume::Extent& root)
{
    const std::uint8_t* record = descriptor + s_rootRecordOffset;
    if (record[0] < 34 || (record[25] & s_flagDirectory) == 0) {
        return false;
    }
    root.ByteOffset = (static_cast<std::uint64_t>(little32(record + 2)) + record[1]) * blockSize;
    root.Size = little32(record + 10);
    return true;
}

} // namespace

std::shared_ptr<IsoVolume> IsoVolume::open(std::shared_ptr<SectorSource> source, std::uint32_t sessionStart)
{
    if (source == nullptr) {
        return nullptr;
    }
    std::array<std::uint8_t, s_descriptorSize> primary {};
    std::array<std::uint8_t, s_descriptorSize> joliet {};
    bool havePrimary = false;
    bool haveJoliet = false;
    std::array<std::uint8_t, s_descriptorSize> sector {};
    for (int index = 0; index < s_maxDescriptors; ++index) {
        const std::uint64_t lsn = static_cast<std::uint64_t>(sessionStart) + 16 + static_cast<std::uint64_t>(index);
        if (lsn > UINT32_MAX || !source->read(static_cast<std::uint32_t>(lsn), 1, sector.data())) {
            break;
        }
        if (std::memcmp(sector.data() + 1, "CD001", 5) != 0 || sector[0] == 255) {
            break;
        }
        if (sector[0] == 1 && !havePrimary) {
            primary = sector;
            havePrimary = true;
        } else if (sector[0] == 2 && !haveJoliet && isJolietEscape(sector.data() + 88)) {
            joliet = sector;
            haveJoliet = true;
        }
    }
    if (!havePrimary) {
        return nullptr;
    }
    const std::uint32_t primaryBlock = little16(primary.data() + 128);
    if (!validBlockSize(primaryBlock)) {
        return nullptr;
    }
    std::shared_ptr<IsoVolume> volume(new IsoVolume());
    volume->m_source = std::move(source);
    volume->m_facts.TotalBytes = static_cast<std::int64_t>(little32(primary.data() + 80)) * primaryBlock;
    volume->m_volumeBytes = static_cast<std::uint64_t>(volume->m_facts.TotalBytes);
    volume->m_volumeEnd = static_cast<std::uint64_t>(sessionStart) * SectorSource::SectorSize + volume->m_volumeBytes;
    const std::uint64_t sourceBytes = volume->m_source->sectorCount() * SectorSource::SectorSize;
    if (sourceBytes != 0) {
        volume->m_volumeBytes = std::min(volume->m_volumeBytes, sourceBytes);
        volume->m_volumeEnd = std::min(volume->m_volumeEnd, sourceBytes);
    }
    // Joliet, when present and sound, gives the label, the tree and the serial.
    if (haveJoliet) {
        const std::uint32_t block = little16(joliet.data() + 128);
        volume->m_blockSize = validBlockSize(block) ? block : primaryBlock;
        haveJoliet = rootExtent(joliet.data(), volume->m_blockSize, volume->m_root);
    }
    if (haveJoliet) {
        volume->m_joliet = true;
        volume->m_facts.Label = trimLabel(ucs2BigEndianToUtf8(joliet.data() + 40, 32));
        volume->m_facts.NtSerial = laneSumReport(joliet.data());
        return volume;
    }
    volume->m_blockSize = primaryBlock;
    if (!rootExtent(primary.data(), primaryBlock, volume->m_root)) {
        return nullptr;
    }
    volume->m_facts.Label = trimLabel(std::string(reinterpret_cast<const char*>(primary.data() + 40), 32));
    volume->m_facts.NtSerial = laneSumReport(primary.data());
    return volume;
}

VolumeFacts IsoVolume::facts() const { return m_facts; }

std::unique_ptr<DriveFolderListing> IsoVolume::openFolder(const std::string& relativePath)
{
    auto walk = std::make_shared<DirectoryWalk>();
    walk->Seen.insert(m_root.ByteOffset);
    walk->BytesLeft = m_volumeBytes;
    std::string problem;
    std::unique_ptr<IsoListing> listing = IsoListing::open(shared_from_this(), walk, 0, m_root, problem);
    return openListingPath(std::move(listing), relativePath, problem);
}

bool IsoVolume::readDirectory(
    const Extent& extent, std::uint64_t offset, std::uint32_t length, std::uint8_t* bytes) const
{
    const std::uint64_t begin = extent.ByteOffset + offset;
    const std::uint64_t first = begin / SectorSource::SectorSize;
    const std::uint64_t end = (begin + length + SectorSource::SectorSize - 1) / SectorSource::SectorSize;
    if (end > UINT32_MAX) {
        return false;
    }
    const auto count = static_cast<std::uint32_t>(end - first);
    const std::size_t skip = static_cast<std::size_t>(begin - first * SectorSource::SectorSize);
    if (skip == 0 && length % SectorSource::SectorSize == 0) {
        return m_source->read(static_cast<std::uint32_t>(first), count, bytes);
    }
    std::vector<std::uint8_t> sectors(static_cast<std::size_t>(count) * SectorSource::SectorSize);
    if (!m_source->read(static_cast<std::uint32_t>(first), count, sectors.data())) {
        return false;
    }
    std::copy_n(sectors.begin() + static_cast<std::ptrdiff_t>(skip), length, bytes);
    return true;
}

std::int64_t isoRecordTime(const std::uint8_t* time)
{
    std::int64_t seconds = 0;
    if (!civilTimeToUnix(1900 + time[0], time[1], time[2], time[3], time[4], time[5], seconds)) {
        return 0;
    }
    const auto quarters = static_cast<std::int8_t>(time[6]);
    if (quarters != 0 && quarters >= -48 && quarters <= 52) {
        seconds -= static_cast<std::int64_t>(quarters) * 15 * 60;
    }
    return seconds;
}

std::string isoRecordName(const std::uint8_t* identifier, std::size_t length, bool joliet)
{
    std::string name = joliet ? ucs2BigEndianToUtf8(identifier, length)
                              : std::string(reinterpret_cast<const char*>(identifier), length);
    const std::size_t end = name.find_first_of(std::string_view(";\0", 2));
    if (end != std::string::npos) {
        name.resize(end);
    }
    if (!name.empty() && name.back() == '.') {
        name.pop_back();
    }
    return name;
}

std::string ucs2BigEndianToUtf8(const std::uint8_t* bytes, std::size_t length)
{
    std::string out;
    out.reserve(length * 3 / 2);
    const std::size_t units = length / 2;
    for (std::size_t index = 0; index < units; ++index) {
        const char32_t unit = static_cast<char32_t>(bytes[2 * index] << 8 | bytes[2 * index + 1]);
        if (unit >= 0xD800 && unit <= 0xDBFF && index + 1 < units) {
            const char32_t low = static_cast<char32_t>(bytes[2 * index + 2] << 8 | bytes[2 * index + 3]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++index;
                continue;
            }
        }
        appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? char32_t(0xFFFD) : unit);
    }
    return out;
}

std::uint32_t laneSumReport(const std::uint8_t* sector)
{
    std::array<std::uint8_t, 4> sums {};
    for (std::size_t index = 0; index < s_descriptorSize; ++index) {
        sums[index % 4] = static_cast<std::uint8_t>(sums[index % 4] + sector[index]);
    }
    return static_cast<std::uint32_t>(sums[0]) << 24 | static_cast<std::uint32_t>(sums[1]) << 16
        | static_cast<std::uint32_t>(sums[2]) << 8 | sums[3];
}
