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

// Continuation areas one record's Rock Ridge entries may chain; real ones chain one or two.
constexpr int s_maxContinuations = 32;
constexpr std::uint8_t s_nameContinues = 1;
constexpr std::uint8_t s_nameCurrent = 2;
constexpr std::uint8_t s_nameParent = 4;

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
    std::vector<std::uint8_t> SystemUse; ///< on Rock Ridge volumes: the entries after the skipped bytes
};

bool isDotOrDotDot(const std::string& identifier)
{
    return identifier.size() == 1 && static_cast<std::uint8_t>(identifier[0]) <= 1;
}

// Where a record's system use area starts: after the identifier and the byte that pads it to even length.
std::size_t systemUseStart(std::size_t identifierLength)
{
    return s_recordHeader + identifierLength + (identifierLength % 2 == 0 ? 1 : 0);
}

// What a record's Rock Ridge entries say.
struct RockRidgeEntries {
    std::string Name; ///< the NM entries' name joined
    bool HasName = false;
    bool NameContinues = false; ///< the last NM entry said that another follows
    bool Relocated = false; ///< RE: a directory moved for its depth, shown where its child link stands
    bool ChildLink = false; ///< CL: the record stands for the directory moved to Child
    std::uint32_t Child = 0;
};

// A continuation area named by a CE entry.
struct Continuation {
    std::uint32_t Block = 0;
    std::uint32_t Offset = 0;
    std::uint32_t Length = 0;
};

// Reads the entries of one system use area (or continuation area) into entries; false at damage (an
// entry shorter than its header or running past the area, a name entry naming "." or ".."). The
// continuation area it names, if any, goes to next.
bool readSystemUseArea(
    const std::uint8_t* area, std::size_t size, RockRidgeEntries& entries, std::optional<Continuation>& next)
{
    std::size_t at = 0;
    // Fewer than four bytes, or a zero byte where an entry would start, are padding.
    while (size - at >= 4 && area[at] != 0) {
        const std::uint8_t* entry = area + at;
        const std::size_t length = entry[2];
        if (length < 4 || length > size - at) {
            return false;
        }
        const std::string_view signature(reinterpret_cast<const char*>(entry), 2);
        if (signature == "ST") {
            break;
        }
        if (signature == "CE" && length >= 28) {
            next = Continuation { little32(entry + 4), little32(entry + 12), little32(entry + 20) };
        } else if (signature == "NM" && length >= 5) {
            if ((entry[4] & (s_nameCurrent | s_nameParent)) != 0) {
                return false;
            }
            // A name is whole once an entry does not say that more follows; later ones do not count.
            if (!entries.HasName || entries.NameContinues) {
                entries.Name.append(reinterpret_cast<const char*>(entry + 5), length - 5);
                entries.HasName = true;
                entries.NameContinues = (entry[4] & s_nameContinues) != 0;
            }
        } else if (signature == "RE") {
            entries.Relocated = true;
        } else if (signature == "CL" && length >= 12) {
            entries.ChildLink = true;
            entries.Child = little32(entry + 4);
        }
        at += length;
    }
    return true;
}

// A Rock Ridge name no file system gives: empty, "." or "..", or holding a zero byte or a "/".
bool impossibleName(const std::string& name)
{
    return name.empty() || name == "." || name == ".."
        || name.find_first_of(std::string_view("/\0", 2)) != std::string::npos;
}

// The directory a folder's record leads to.
IsoVolume::Extent folderExtent(const Record& record, std::uint32_t blockSize)
{
    return { (static_cast<std::uint64_t>(record.Extent) + record.ExtendedAttributes) * blockSize, record.Size };
}

class IsoListing final : public DiscListing<IsoListing, IsoVolume::Extent> {
public:
    // The listing of the directory at extent; null with the problem when it cannot be listed.
    static std::unique_ptr<IsoListing> open(std::shared_ptr<const IsoVolume> volume,
        std::shared_ptr<DirectoryWalk> walk, int depth, const IsoVolume::Extent& extent, std::string& problem)
    {
        IsoVolume::Extent sized = extent;
        if (extent.Relocated && !readRelocatedSize(*volume, *walk, sized, problem)) {
            return nullptr;
        }
        const std::uint64_t block = volume->blockSize();
        const std::uint64_t length = (static_cast<std::uint64_t>(sized.Size) + block - 1) / block * block;
        if (sized.Size == 0 || length > volume->volumeBytes()) {
            problem = ListingProblem::ImpossibleSize;
            return nullptr;
        }
        if (sized.ByteOffset + length > volume->volumeEnd()) {
            problem = s_beyondVolume;
            return nullptr;
        }
        std::unique_ptr<IsoListing> listing(new IsoListing(std::move(volume), std::move(walk), depth, sized, length));
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
            if (isDotOrDotDot(record.Identifier)) {
                continue;
            }
            if ((record.Flags & s_flagAssociated) != 0) {
                continue; // resource forks and the like belong to the file before them
            }
            const Record head = record;
            std::uint64_t size = record.Size;
            if ((head.Flags & s_flagDirectory) == 0 && !joinExtents(record, size)) {
                return false;
            }
            RockRidgeEntries rockRidge;
            if (m_volume->rockRidge() && !readRockRidge(head, rockRidge)) {
                return false;
            }
            if (rockRidge.Relocated) {
                continue; // listed where its child link stands
            }
            if (rockRidge.HasName && impossibleName(rockRidge.Name)) {
                return fail(ListingProblem::DamagedRecord);
            }
            const std::string name = rockRidge.HasName
                ? rockRidge.Name
                : isoRecordName(reinterpret_cast<const std::uint8_t*>(head.Identifier.data()), head.Identifier.size(),
                    m_volume->joliet());
            if (name.empty() || name == "." || name == "..") {
                continue;
            }
            if (m_depth == 0 && m_volume->rockRidge() && isRelocationFolder(head, rockRidge, name)) {
                continue;
            }
            fillEntry(entry, head, name, size, rockRidge);
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

    // The size of a directory reached through a child link, from the "." record its first block starts
    // with; false with the problem when that record is not the directory's own.
    static bool readRelocatedSize(
        const IsoVolume& volume, DirectoryWalk& walk, IsoVolume::Extent& extent, std::string& problem)
    {
        const std::uint32_t block = volume.blockSize();
        if (extent.ByteOffset + block > volume.volumeEnd()) {
            problem = s_beyondVolume;
            return false;
        }
        if (!walk.take(block)) {
            problem = ListingProblem::OverBudget;
            return false;
        }
        std::vector<std::uint8_t> first(block);
        if (!volume.readDirectory({ extent.ByteOffset, block }, 0, block, first.data())) {
            problem = ListingProblem::Unreadable;
            return false;
        }
        const std::uint8_t* dot = first.data();
        if (dot[0] < s_recordHeader + 1 || dot[32] != 1 || dot[33] != 0 || (dot[25] & s_flagDirectory) == 0
            || static_cast<std::uint64_t>(little32(dot + 2)) * block != extent.ByteOffset) {
            problem = ListingProblem::DamagedRecord;
            return false;
        }
        extent.Size = little32(dot + 10);
        return true;
    }

    // Reads the Rock Ridge entries of a record, following its continuation areas (from the walk's share
    // of bytes); false at damage, failing the listing.
    bool readRockRidge(const Record& record, RockRidgeEntries& entries)
    {
        std::vector<std::uint8_t> area = record.SystemUse;
        for (int continuations = 0;; ++continuations) {
            std::optional<Continuation> next;
            if (!readSystemUseArea(area.data(), area.size(), entries, next)) {
                return fail(ListingProblem::DamagedRecord);
            }
            if (!next.has_value() || next->Length == 0) {
                break;
            }
            const std::uint32_t block = m_volume->blockSize();
            const std::uint64_t start = static_cast<std::uint64_t>(next->Block) * block;
            if (continuations == s_maxContinuations || next->Offset >= block || next->Length > block - next->Offset) {
                return fail(ListingProblem::DamagedRecord);
            }
            if (start + block > m_volume->volumeEnd()) {
                return fail(s_beyondVolume);
            }
            if (!m_walk->take(next->Length)) {
                return fail(ListingProblem::OverBudget);
            }
            area.resize(next->Length);
            if (!m_volume->readDirectory({ start, block }, next->Offset, next->Length, area.data())) {
                return fail(ListingProblem::Unreadable);
            }
        }
        if (entries.NameContinues) {
            return fail(ListingProblem::DamagedRecord); // the rest of the name is missing
        }
        return true;
    }

    // Whether a folder at the top is where directories were moved for their depth ("rr_moved"): it holds
    // nothing but such directories, each shown where it belongs, so it is no folder of the user's.
    bool isRelocationFolder(const Record& record, const RockRidgeEntries& entries, const std::string& name)
    {
        if ((record.Flags & s_flagDirectory) == 0 || entries.ChildLink
            || !(sameNameIgnoringCase(name, "rr_moved") || sameNameIgnoringCase(name, ".rr_moved"))) {
            return false;
        }
        std::string problem;
        const std::unique_ptr<IsoListing> moved
            = open(m_volume, m_walk, m_depth + 1, folderExtent(record, m_volume->blockSize()), problem);
        return moved != nullptr && moved->holdsOnlyRelocated();
    }

    bool holdsOnlyRelocated()
    {
        std::size_t relocated = 0;
        Record record;
        while (nextRecord(record)) {
            if (isDotOrDotDot(record.Identifier)) {
                continue;
            }
            RockRidgeEntries entries;
            if (!readRockRidge(record, entries) || !entries.Relocated) {
                return false;
            }
            ++relocated;
        }
        return !m_failed && relocated > 0;
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
            record.SystemUse.clear();
            const std::size_t systemUse = systemUseStart(identifierLength) + m_volume->systemUseSkip();
            if (m_volume->rockRidge() && systemUse < length) {
                record.SystemUse.assign(at + systemUse, at + length);
            }
            m_position += length;
            return true;
        }
        return false;
    }

    void fillEntry(TKTBDirEntry& entry, const Record& record, const std::string& name, std::uint64_t size,
        const RockRidgeEntries& rockRidge)
    {
        setEntryName(entry, name);
        entry.LastWriteTime = isoRecordTime(record.Time.data());
        entry.Attributes = KTB_ATTR_READONLY;
        if ((record.Flags & s_flagHidden) != 0) {
            entry.Attributes |= KTB_ATTR_HIDDEN;
        }
        if (rockRidge.ChildLink) {
            entry.Attributes |= KTB_ATTR_DIRECTORY;
            entry.Size = 0;
            const std::uint64_t start = static_cast<std::uint64_t>(rockRidge.Child) * m_volume->blockSize();
            remember(entry.Name, IsoVolume::Extent { start, 0, true });
            return;
        }
        if ((record.Flags & s_flagDirectory) != 0) {
            entry.Attributes |= KTB_ATTR_DIRECTORY;
            entry.Size = 0;
            remember(entry.Name, folderExtent(record, m_volume->blockSize()));
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
    volume->findRockRidge();
    return volume;
}

void IsoVolume::findRockRidge()
{
    // The top directory's "." record starts with the SP entry of the System Use Sharing Protocol, which
    // also tells how many bytes of every system use area to skip.
    std::vector<std::uint8_t> first(m_blockSize);
    if (m_root.ByteOffset + m_blockSize > m_volumeEnd
        || !readDirectory({ m_root.ByteOffset, m_blockSize }, 0, m_blockSize, first.data())) {
        return;
    }
    const std::uint8_t* dot = first.data();
    const std::size_t systemUse = systemUseStart(1);
    if (dot[0] < systemUse + 7 || dot[32] != 1 || dot[33] != 0) {
        return;
    }
    const std::uint8_t* sp = dot + systemUse;
    if (sp[0] == 'S' && sp[1] == 'P' && sp[2] >= 7 && sp[4] == 0xBE && sp[5] == 0xEF) {
        m_rockRidge = true;
        m_systemUseSkip = sp[6];
    }
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
