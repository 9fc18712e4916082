#include "platform/isovolume.h"

#include "platform/sectorsource.h"

#include <array>
#include <cstring>
#include <unordered_set>

namespace {

constexpr std::size_t s_descriptorSize = SectorSource::SectorSize;
// Descriptors looked at before giving up; real discs hold a handful.
constexpr int s_maxDescriptors = 32;
// A directory larger than this is taken for garbage (a real one of 64 MiB would hold two million names).
constexpr std::uint32_t s_maxDirectoryBytes = 64U << 20;
constexpr std::size_t s_recordHeader = 33;
constexpr std::size_t s_rootRecordOffset = 156;

constexpr std::uint8_t s_flagHidden = 1;
constexpr std::uint8_t s_flagDirectory = 2;
constexpr std::uint8_t s_flagAssociated = 4;
constexpr std::uint8_t s_flagMultiExtent = 0x80;

std::uint16_t little16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }

std::uint32_t little32(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8
        | static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

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

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
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

// The folders listed so far in one walk, by the byte offset of their records.
struct WalkState {
    std::unordered_set<std::uint64_t> Seen;
};

// One directory record, pointing into the listing's bytes.
struct Record {
    std::uint32_t Extent = 0;
    std::uint8_t ExtendedAttributes = 0;
    std::uint32_t Size = 0;
    std::uint8_t Flags = 0;
    const std::uint8_t* Time = nullptr;
    const std::uint8_t* Identifier = nullptr;
    std::size_t IdentifierLength = 0;
};

class IsoListing final : public DriveFolderListing {
public:
    IsoListing(std::shared_ptr<const IsoVolume> volume, std::shared_ptr<WalkState> walk, int depth,
        std::vector<std::uint8_t> bytes)
        : m_volume(std::move(volume))
        , m_walk(std::move(walk))
        , m_depth(depth)
        , m_bytes(std::move(bytes))
    {
    }

    bool next(TKTBDirEntry& entry) override
    {
        Record record;
        while (nextRecord(record)) {
            if (record.IdentifierLength == 1 && record.Identifier[0] <= 1) {
                continue; // "." and ".."
            }
            if ((record.Flags & s_flagAssociated) != 0) {
                continue; // resource forks and the like belong to the file before them
            }
            const Record head = record;
            std::uint64_t size = record.Size;
            if ((head.Flags & s_flagDirectory) == 0) {
                // A multi-extent file is one file: its records follow each other, all but the last marked.
                while ((record.Flags & s_flagMultiExtent) != 0 && nextRecord(record)) {
                    size += record.Size;
                }
            }
            const std::string name = isoRecordName(head.Identifier, head.IdentifierLength, m_volume->joliet());
            if (name.empty() || name == "." || name == "..") {
                continue;
            }
            fillEntry(entry, head, name, size);
            return true;
        }
        return false;
    }

    std::unique_ptr<DriveFolderListing> openSubfolder(const TKTBDirEntry& entry) override
    {
        const std::string name(entry.Name, strnlen(entry.Name, sizeof entry.Name));
        for (auto at = m_subfolders.rbegin(); at != m_subfolders.rend(); ++at) {
            if (at->first == name) {
                return openExtent(at->second);
            }
        }
        return nullptr;
    }

    /// Lists the rest of this folder and opens the sub-folder of that name (exact letter case first).
    std::unique_ptr<IsoListing> openNamedSubfolder(const std::string& name)
    {
        TKTBDirEntry entry {};
        while (next(entry)) { }
        for (const auto& [folderName, extent] : m_subfolders) {
            if (folderName == name) {
                return openExtent(extent);
            }
        }
        for (const auto& [folderName, extent] : m_subfolders) {
            if (sameNameIgnoringCase(folderName, name)) {
                return openExtent(extent);
            }
        }
        return nullptr;
    }

    std::unique_ptr<IsoListing> openExtent(const IsoVolume::Extent& extent)
    {
        if (m_depth + 1 > MaxFolderDepth || !m_walk->Seen.insert(extent.ByteOffset).second) {
            return nullptr; // a loop, a cross-linked folder, or deeper than any real disc
        }
        std::vector<std::uint8_t> bytes;
        if (!m_volume->readDirectory(extent, bytes)) {
            return nullptr;
        }
        return std::make_unique<IsoListing>(m_volume, m_walk, m_depth + 1, std::move(bytes));
    }

private:
    // The next record; false at the end of the directory or at the first malformed record.
    bool nextRecord(Record& record)
    {
        const std::size_t block = m_volume->blockSize();
        while (m_position < m_bytes.size()) {
            const std::uint8_t* at = m_bytes.data() + m_position;
            const std::size_t length = at[0];
            const std::size_t inBlock = m_position % block;
            if (length == 0) {
                m_position += block - inBlock; // records never cross a block; the rest is padding
                continue;
            }
            if (length < s_recordHeader + 1 || inBlock + length > block || m_position + length > m_bytes.size()) {
                m_position = m_bytes.size();
                return false;
            }
            const std::size_t identifierLength = at[32];
            if (identifierLength == 0 || s_recordHeader + identifierLength > length) {
                m_position = m_bytes.size();
                return false;
            }
            record.ExtendedAttributes = at[1];
            record.Extent = little32(at + 2);
            record.Size = little32(at + 10);
            record.Time = at + 18;
            record.Flags = at[25];
            record.Identifier = at + s_recordHeader;
            record.IdentifierLength = identifierLength;
            m_position += length;
            return true;
        }
        return false;
    }

    void fillEntry(TKTBDirEntry& entry, const Record& record, const std::string& name, std::uint64_t size)
    {
        setEntryName(entry, name);
        entry.LastWriteTime = isoRecordTime(record.Time);
        entry.Attributes = KTB_ATTR_READONLY;
        if ((record.Flags & s_flagHidden) != 0) {
            entry.Attributes |= KTB_ATTR_HIDDEN;
        }
        if ((record.Flags & s_flagDirectory) != 0) {
            entry.Attributes |= KTB_ATTR_DIRECTORY;
            entry.Size = 0;
            const std::uint64_t start
                = (static_cast<std::uint64_t>(record.Extent) + record.ExtendedAttributes) * m_volume->blockSize();
            m_subfolders.emplace_back(std::string(entry.Name), IsoVolume::Extent { start, record.Size });
            return;
        }
        entry.Size = size;
    }

    std::shared_ptr<const IsoVolume> m_volume;
    std::shared_ptr<WalkState> m_walk;
    int m_depth;
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    std::vector<std::pair<std::string, IsoVolume::Extent>> m_subfolders;
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
    auto walk = std::make_shared<WalkState>();
    walk->Seen.insert(m_root.ByteOffset);
    std::vector<std::uint8_t> bytes;
    if (!readDirectory(m_root, bytes)) {
        return nullptr;
    }
    auto listing = std::make_unique<IsoListing>(shared_from_this(), walk, 0, std::move(bytes));
    for (const std::string& part : splitRelativePath(relativePath)) {
        listing = listing->openNamedSubfolder(part);
        if (listing == nullptr) {
            return nullptr;
        }
    }
    return listing;
}

bool IsoVolume::readDirectory(const Extent& extent, std::vector<std::uint8_t>& bytes) const
{
    bytes.clear();
    if (extent.Size > s_maxDirectoryBytes) {
        return false;
    }
    const std::uint64_t rounded
        = (static_cast<std::uint64_t>(extent.Size) + m_blockSize - 1) / m_blockSize * m_blockSize;
    const std::uint64_t first = extent.ByteOffset / SectorSource::SectorSize;
    const std::uint64_t end = (extent.ByteOffset + rounded + SectorSource::SectorSize - 1) / SectorSource::SectorSize;
    if (end > UINT32_MAX) {
        return false;
    }
    const auto count = static_cast<std::uint32_t>(end - first);
    std::vector<std::uint8_t> sectors(static_cast<std::size_t>(count) * SectorSource::SectorSize);
    if (count > 0 && !m_source->read(static_cast<std::uint32_t>(first), count, sectors.data())) {
        return false;
    }
    const std::size_t skip = static_cast<std::size_t>(extent.ByteOffset - first * SectorSource::SectorSize);
    bytes.assign(sectors.begin() + static_cast<std::ptrdiff_t>(skip),
        sectors.begin() + static_cast<std::ptrdiff_t>(skip + rounded));
    return true;
}

std::int64_t isoRecordTime(const std::uint8_t* time)
{
    const unsigned month = time[1];
    const unsigned day = time[2];
    const unsigned hour = time[3];
    const unsigned minute = time[4];
    const unsigned second = time[5];
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
        return 0;
    }
    std::int64_t seconds = daysFromCivil(1900 + time[0], month, day) * 86400 + hour * 3600 + minute * 60 + second;
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
