#include "tests/support/handmadeiso.h"

#include <algorithm>

namespace {

constexpr std::size_t s_sector = 2048;

void put32(std::string& out, std::size_t at, std::uint32_t value)
{
    for (int index = 0; index < 4; ++index) {
        out[at + static_cast<std::size_t>(index)] = static_cast<char>(value >> (8 * index));
        out[at + 7 - static_cast<std::size_t>(index)] = static_cast<char>(value >> (8 * index));
    }
}

void put16(std::string& out, std::size_t at, std::uint16_t value)
{
    out[at] = static_cast<char>(value);
    out[at + 1] = static_cast<char>(value >> 8);
    out[at + 2] = static_cast<char>(value >> 8);
    out[at + 3] = static_cast<char>(value);
}

} // namespace

std::string ucs2(const std::u16string& text)
{
    std::string bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit >> 8);
        bytes += static_cast<char>(unit & 0xFF);
    }
    return bytes;
}

HandMadeIso::HandMadeIso()
    : m_directories(1)
{
}

int HandMadeIso::addDirectory()
{
    m_sectors.clear();
    m_directories.emplace_back();
    return static_cast<int>(m_directories.size() - 1);
}

int HandMadeIso::addJoliet(const std::string& ucs2Label)
{
    m_jolietRoot = addDirectory();
    m_jolietLabel = ucs2Label;
    return m_jolietRoot;
}

void HandMadeIso::addRecord(int directory, const Record& record)
{
    m_sectors.clear();
    m_directories[static_cast<std::size_t>(directory)].push_back(record);
}

std::string HandMadeIso::recordBytes(const Record& record) const
{
    if (!record.RawRecord.empty()) {
        return record.RawRecord;
    }
    const std::size_t length = recordLength(record);
    std::string out(length, '\0');
    out[0] = static_cast<char>(length);
    std::uint32_t extent = record.Extent;
    std::uint32_t size = record.Size;
    if (record.Directory >= 0) {
        extent = directorySector(record.Directory) * (s_sector / m_blockSize);
        size = record.ClaimedSize != 0 ? record.ClaimedSize : directorySize(record.Directory);
    }
    put32(out, 2, extent);
    put32(out, 10, size);
    for (std::size_t index = 0; index < 7; ++index) {
        out[18 + index] = static_cast<char>(record.Time[index]);
    }
    out[25] = static_cast<char>(record.Flags);
    put16(out, 28, 1);
    out[32] = static_cast<char>(record.Identifier.size());
    out.replace(33, record.Identifier.size(), record.Identifier);
    out.replace(length - record.SystemUse.size(), record.SystemUse.size(), record.SystemUse);
    return out;
}

std::size_t HandMadeIso::recordLength(const Record& record)
{
    if (!record.RawRecord.empty()) {
        return record.RawRecord.size();
    }
    return 33 + record.Identifier.size() + (record.Identifier.size() % 2 == 0 ? 1 : 0) + record.SystemUse.size();
}

std::uint32_t HandMadeIso::directorySize(int directory) const
{
    std::size_t size = 2 * 34 + (directory == 0 && m_rockRidgeSkip >= 0 ? 7 : 0); // "." and ".."
    for (const Record& record : m_directories[static_cast<std::size_t>(directory)]) {
        const std::size_t length = recordLength(record);
        if (size % m_blockSize + length > m_blockSize) {
            size += m_blockSize - size % m_blockSize;
        }
        size += length;
    }
    return static_cast<std::uint32_t>((size + m_blockSize - 1) / m_blockSize * m_blockSize);
}

std::uint32_t HandMadeIso::directorySectors(int directory) const
{
    const std::uint32_t sectors = (directorySize(directory) + s_sector - 1) / s_sector;
    return std::max(sectors, MinimumDirectorySectors);
}

std::uint32_t HandMadeIso::directorySector(int directory) const
{
    if (m_sectors.empty()) {
        m_sectors.push_back(FirstDirectorySector);
        for (std::size_t index = 0; index < m_directories.size(); ++index) {
            m_sectors.push_back(m_sectors.back() + directorySectors(static_cast<int>(index)));
        }
    }
    return m_sectors[static_cast<std::size_t>(directory)];
}

std::string HandMadeIso::directoryBytes(int directory, int parent) const
{
    std::vector<Record> records;
    Record self;
    self.Identifier = std::string(1, '\0');
    self.Flags = 2;
    self.Extent = directorySector(directory) * (s_sector / m_blockSize);
    self.Size = directorySize(directory);
    Record up = self;
    up.Identifier = std::string(1, '\1');
    if (directory == 0 && m_rockRidgeSkip >= 0) {
        self.SystemUse = std::string("SP\x07\x01\xBE\xEF", 6) + static_cast<char>(m_rockRidgeSkip);
    }
    up.Extent = directorySector(parent) * (s_sector / m_blockSize);
    up.Size = directorySize(parent);
    records.push_back(self);
    records.push_back(up);
    records.insert(records.end(), m_directories[static_cast<std::size_t>(directory)].begin(),
        m_directories[static_cast<std::size_t>(directory)].end());
    std::string out;
    for (const Record& record : records) {
        const std::string bytes = recordBytes(record);
        const std::size_t used = out.size() % m_blockSize;
        if (used + bytes.size() > m_blockSize) {
            out.append(m_blockSize - used, '\0');
        }
        out += bytes;
    }
    out.append((m_blockSize - out.size() % m_blockSize) % m_blockSize, '\0');
    return out;
}

std::string HandMadeIso::descriptor(std::uint8_t type, int root, const std::string& label) const
{
    std::string out(s_sector, '\0');
    out[0] = static_cast<char>(type);
    out.replace(1, 5, "CD001");
    out[6] = 1;
    std::string field = label.substr(0, 32);
    if (type == 2) {
        while (field.size() < 32) {
            field += std::string("\0 ", 2);
        }
        out.replace(88, 3, "%/E");
    } else {
        field.append(32 - field.size(), ' ');
    }
    out.replace(40, 32, field);
    const std::uint32_t sectors = directorySector(static_cast<int>(m_directories.size()));
    put32(out, 80, m_volumeBlocks != 0 ? m_volumeBlocks : sectors * static_cast<std::uint32_t>(s_sector / m_blockSize));
    put16(out, 120, 1);
    put16(out, 124, 1);
    put16(out, 128, m_blockSize);
    Record rootRecord;
    rootRecord.Identifier = std::string(1, '\0');
    rootRecord.Flags = 2;
    rootRecord.Directory = root;
    const std::string record = recordBytes(rootRecord);
    out.replace(156, record.size(), record);
    return out;
}

std::string HandMadeIso::bytes() const
{
    std::string image(16 * s_sector, '\0');
    image += descriptor(1, 0, m_label);
    if (m_jolietRoot >= 0) {
        image += descriptor(2, m_jolietRoot, m_jolietLabel);
    }
    std::string terminator(s_sector, '\0');
    terminator[0] = static_cast<char>(255);
    terminator.replace(1, 5, "CD001");
    terminator[6] = 1;
    image += terminator;
    image.resize(FirstDirectorySector * s_sector, '\0');
    for (std::size_t directory = 0; directory < m_directories.size(); ++directory) {
        // Each directory's parent is taken to be the root; the walk never follows "..".
        std::string bytes = directoryBytes(static_cast<int>(directory), 0);
        bytes.resize(directorySectors(static_cast<int>(directory)) * s_sector, '\0');
        image += bytes;
    }
    return image;
}
