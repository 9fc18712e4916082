#include "platform/trackimage.h"

#include <algorithm>
#include <array>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The largest stored sector: raw 2352 bytes with 96 bytes of sub-channel data after them.
constexpr std::uint32_t s_largestSector = 2448;

bool knownSectorBytes(std::uint32_t bytes)
{
    return bytes == 2048 || bytes == 2324 || bytes == 2336 || bytes == 2352 || bytes == 2448;
}

std::uint32_t leastSectorBytes(SectorData data)
{
    switch (data) {
    case SectorData::Audio:
    case SectorData::Plain:
        return 2048;
    case SectorData::Mode2Subheader:
        return 2336;
    case SectorData::RawMode1:
    case SectorData::RawMode2:
    case SectorData::RawByHeader:
        return 2352;
    }
    return s_largestSector;
}

char foldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool sameIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

bool isRegularFile(const std::string& path)
{
    struct stat status { };
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

class TrackImage final : public TrackSource {
public:
    TrackImage(std::vector<int> files, TrackLayout layout)
        : m_files(std::move(files))
        , m_layout(std::move(layout))
    {
    }
    ~TrackImage() override
    {
        for (const int fd : m_files) {
            ::close(fd);
        }
    }
    TrackImage(const TrackImage&) = delete;
    TrackImage& operator=(const TrackImage&) = delete;

    bool read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* buffer) override
    {
        while (count > 0) {
            const ImageExtent* extent = extentOf(lsn);
            if (extent == nullptr) {
                return false; // a gap the image leaves out, or past its end
            }
            const std::uint32_t index = lsn - extent->Lsn;
            const std::uint32_t now = std::min(count, extent->Count - index);
            const int fd = m_files[extent->File];
            const std::uint64_t offset = extent->Offset + static_cast<std::uint64_t>(index) * extent->SectorBytes;
            if (extent->Data == SectorData::Plain && extent->SectorBytes == SectorSize) {
                if (!readFileAt(fd, buffer, static_cast<std::size_t>(now) * SectorSize, offset)) {
                    return false;
                }
            } else {
                std::array<std::uint8_t, s_largestSector> sector {};
                for (std::uint32_t at = 0; at < now; ++at) {
                    if (!readFileAt(
                            fd, sector.data(), extent->SectorBytes, offset + std::uint64_t(at) * extent->SectorBytes)
                        || !sectorUserData(sector.data(), extent->Data, buffer + std::size_t(at) * SectorSize)) {
                        return false;
                    }
                }
            }
            lsn += now;
            count -= now;
            buffer += static_cast<std::size_t>(now) * SectorSize;
        }
        return true;
    }

    std::uint64_t sectorCount() const override { return m_layout.Toc.LeadOut; }

    bool readToc(DiscToc& toc) override
    {
        toc = m_layout.Toc;
        return true;
    }

private:
    const ImageExtent* extentOf(std::uint32_t lsn) const
    {
        const auto after = std::upper_bound(m_layout.Extents.begin(), m_layout.Extents.end(), lsn,
            [](std::uint32_t value, const ImageExtent& extent) { return value < extent.Lsn; });
        if (after == m_layout.Extents.begin()) {
            return nullptr;
        }
        const ImageExtent& extent = *(after - 1);
        return lsn - extent.Lsn < extent.Count ? &extent : nullptr;
    }

    std::vector<int> m_files;
    TrackLayout m_layout;
};

} // namespace

bool checkTrackLayout(const TrackLayout& layout, std::string& problem)
{
    const DiscToc& toc = layout.Toc;
    if (toc.Tracks.empty()) {
        problem = "it describes no track";
        return false;
    }
    if (toc.Tracks.size() > 99) {
        problem = "it describes more than 99 tracks";
        return false;
    }
    for (std::size_t index = 0; index < toc.Tracks.size(); ++index) {
        const DiscTrack& track = toc.Tracks[index];
        const bool ordered
            = index == 0 || (track.Number > toc.Tracks[index - 1].Number && track.Start > toc.Tracks[index - 1].Start);
        if (track.Number < 1 || track.Number > 99 || !ordered) {
            problem = "its tracks are not in order (track " + std::to_string(track.Number) + ")";
            return false;
        }
        if (track.Start >= toc.LeadOut) {
            problem = "track " + std::to_string(track.Number) + " starts at or after the end of the disc";
            return false;
        }
    }
    std::uint64_t end = 0;
    for (const ImageExtent& extent : layout.Extents) {
        if (extent.Lsn < end || extent.File >= layout.Files.size() || !knownSectorBytes(extent.SectorBytes)
            || extent.SectorBytes < leastSectorBytes(extent.Data)) {
            problem = "its sectors are laid out in a way no disc has";
            return false;
        }
        end = static_cast<std::uint64_t>(extent.Lsn) + extent.Count;
        if (end > UINT32_MAX) {
            problem = "it is larger than any disc";
            return false;
        }
    }
    return true;
}

std::shared_ptr<TrackSource> openTrackLayout(TrackLayout layout, std::string& problem)
{
    if (!checkTrackLayout(layout, problem)) {
        return nullptr;
    }
    std::vector<int> files;
    for (const std::string& path : layout.Files) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            problem = path + " cannot be opened";
            for (const int open : files) {
                ::close(open);
            }
            return nullptr;
        }
        files.push_back(fd);
    }
    return std::make_shared<TrackImage>(std::move(files), std::move(layout));
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string findImagePart(const std::string& folder, const std::string& name)
{
    if (name.empty()) {
        return {};
    }
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    const std::string given = name.front() == '/' ? name : prefix + name;
    if (isRegularFile(given)) {
        return given;
    }
    const std::size_t cut = name.find_last_of("/\\");
    const std::string base = cut == std::string::npos ? name : name.substr(cut + 1);
    if (base.empty()) {
        return {};
    }
    if (isRegularFile(prefix + base)) {
        return prefix + base;
    }
    std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(folder.c_str()), ::closedir);
    if (directory == nullptr) {
        return {};
    }
    while (const dirent* item = ::readdir(directory.get())) {
        if (sameIgnoringAsciiCase(item->d_name, base) && isRegularFile(prefix + item->d_name)) {
            return prefix + item->d_name;
        }
    }
    return {};
}

bool regularFileSize(const std::string& path, std::uint64_t& size)
{
    struct stat status { };
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

bool readSheetFile(const std::string& path, std::string& text, std::size_t maxBytes)
{
    std::uint64_t size = 0;
    if (!regularFileSize(path, size) || size > maxBytes) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool parseFrameTime(std::string_view text, std::uint32_t& frames)
{
    std::uint32_t parts[3] = {};
    std::size_t part = 0;
    std::size_t digits = 0;
    for (const char c : text) {
        if (c == ':') {
            if (digits == 0 || ++part > 2) {
                return false;
            }
            digits = 0;
            continue;
        }
        if (c < '0' || c > '9' || ++digits > 4) {
            return false;
        }
        parts[part] = parts[part] * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (part != 2 || digits == 0 || parts[1] >= 60 || parts[2] >= 75) {
        return false;
    }
    frames = (parts[0] * 60 + parts[1]) * 75 + parts[2];
    return true;
}

std::vector<std::string> sheetWords(std::string_view line)
{
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < line.size()) {
        if (line[at] == ' ' || line[at] == '\t') {
            ++at;
            continue;
        }
        if (line[at] == '"') {
            const std::size_t end = line.find('"', at + 1);
            const std::size_t stop = end == std::string_view::npos ? line.size() : end;
            words.emplace_back(line.substr(at + 1, stop - at - 1));
            at = stop + 1;
            continue;
        }
        const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
        words.emplace_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

std::string upperAscii(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), foldAscii);
    return upper;
}
