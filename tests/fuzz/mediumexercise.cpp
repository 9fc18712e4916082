#include "tests/fuzz/mediumexercise.h"

#include "platform/medium.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t s_recordBytes = 4 + SectorSource::SectorSize;
// More entries than any walk of a fuzz input can find: the walk reads at most the input's sectors.
constexpr std::size_t s_maxEntries = 1 << 22;

} // namespace

SparseSectors::SparseSectors(const std::uint8_t* data, std::size_t size, std::uint32_t maxSectors)
{
    for (std::size_t at = 0; at < size; at += s_recordBytes) {
        std::uint8_t record[s_recordBytes] = {};
        std::memcpy(record, data + at, std::min(s_recordBytes, size - at));
        const std::uint32_t lsn
            = (record[0] | record[1] << 8 | record[2] << 16 | static_cast<std::uint32_t>(record[3]) << 24) % maxSectors;
        m_sectors[lsn].assign(record + 4, record + s_recordBytes);
        m_count = std::max<std::uint64_t>(m_count, lsn + 1ULL);
    }
}

bool SparseSectors::read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* buffer)
{
    if (static_cast<std::uint64_t>(lsn) + count > m_count) {
        return false;
    }
    for (std::uint32_t index = 0; index < count; ++index) {
        const auto found = m_sectors.find(lsn + index);
        std::uint8_t* sector = buffer + static_cast<std::size_t>(index) * SectorSize;
        if (found == m_sectors.end()) {
            std::memset(sector, 0, SectorSize);
        } else {
            std::memcpy(sector, found->second.data(), SectorSize);
        }
    }
    return true;
}

std::string sparseImage(const std::string& image)
{
    std::string sparse;
    for (std::size_t at = 0; at + SectorSource::SectorSize <= image.size(); at += SectorSource::SectorSize) {
        const std::string sector = image.substr(at, SectorSource::SectorSize);
        if (sector.find_first_not_of('\0') == std::string::npos) {
            continue;
        }
        const auto lsn = static_cast<std::uint32_t>(at / SectorSource::SectorSize);
        for (int index = 0; index < 4; ++index) {
            sparse += static_cast<char>(lsn >> (8 * index));
        }
        sparse += sector;
    }
    return sparse;
}

std::string exerciseMedium(Medium& medium)
{
    const VolumeFacts facts = medium.facts();
    if (facts.Label.size() > 3 * 128) {
        return "a label of impossible length";
    }
    std::vector<std::unique_ptr<DriveFolderListing>> stack;
    std::unique_ptr<DriveFolderListing> top = medium.openFolder("");
    if (top == nullptr) {
        return {};
    }
    stack.push_back(std::move(top));
    std::string firstFolder;
    std::size_t entries = 0;
    TKTBDirEntry entry {};
    while (!stack.empty()) {
        if (!stack.back()->next(entry)) {
            stack.pop_back();
            continue;
        }
        if (++entries > s_maxEntries) {
            return "a walk that does not end";
        }
        const std::size_t length = strnlen(entry.Name, sizeof entry.Name);
        if (length == sizeof entry.Name) {
            return "a name without its zero byte";
        }
        const std::string name(entry.Name, length);
        if (cutName(name) != name || name.empty() || name == "." || name == "..") {
            return "a name no listing may deliver: " + name;
        }
        if ((entry.Attributes & KTB_ATTR_DIRECTORY) == 0) {
            continue;
        }
        if (firstFolder.empty()) {
            firstFolder = name;
        }
        if (stack.size() > MaxFolderDepth + 1) {
            return "a walk deeper than the depth limit";
        }
        if (auto sub = stack.back()->openSubfolder(entry)) {
            stack.push_back(std::move(sub));
        }
    }
    // A folder by its path in another letter case, as the scan window asks for one.
    if (!firstFolder.empty()) {
        std::string upper = firstFolder;
        std::transform(upper.begin(), upper.end(), upper.begin(),
            [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
        if (std::unique_ptr<DriveFolderListing> listing = medium.openFolder(upper)) {
            while (listing->next(entry)) { }
        }
    }
    return {};
}
