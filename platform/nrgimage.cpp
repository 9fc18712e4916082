#include "platform/nrgimage.h"

#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

// The chunk area of a real image holds a few hundred bytes a track.
constexpr std::uint64_t s_maxChunkArea = 1 << 20;
constexpr std::uint32_t s_taoGap = 150;

std::uint64_t bigEndian(std::string_view bytes, std::size_t at, std::size_t length)
{
    std::uint64_t value = 0;
    for (std::size_t index = 0; index < length; ++index) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + index]);
    }
    return value;
}

struct TrackFormat {
    std::uint32_t SectorBytes = 0;
    SectorData Data = SectorData::Audio;
};

// The mode codes of Nero's track entries.
bool formatOfMode(std::uint32_t mode, TrackFormat& format)
{
    switch (mode) {
    case 0x00: // mode 1
    case 0x02: // mode 2 form 1
        format = { 2048, SectorData::Plain };
        return true;
    case 0x03: // mode 2
    case 0x06: // mode 2, forms mixed
        format = { 2336, SectorData::Mode2Subheader };
        return true;
    case 0x05: // mode 1, raw
        format = { 2352, SectorData::RawByHeader };
        return true;
    case 0x07: // audio
        format = { 2352, SectorData::Audio };
        return true;
    case 0x0F: // mode 2, raw with sub-channel
    case 0x11: // mode 1, raw with sub-channel
        format = { 2448, SectorData::RawByHeader };
        return true;
    case 0x10: // audio with sub-channel
        format = { 2448, SectorData::Audio };
        return true;
    default:
        return false;
    }
}

class NrgReader {
public:
    NrgReader(std::uint64_t dataEnd, const std::string& imagePath, TrackLayout& layout, std::string& problem)
        : m_dataEnd(dataEnd)
        , m_layout(layout)
        , m_problem(problem)
    {
        m_layout.Files.push_back(imagePath);
    }

    // A DAOX (wide) or DAOI chunk.
    bool discAtOnce(std::string_view chunk, bool wide)
    {
        const std::size_t offsetBytes = wide ? 8 : 4;
        const std::size_t entryBytes = 18 + 3 * offsetBytes;
        if (chunk.size() < 22) {
            return fail("its disc-at-once chunk is cut short");
        }
        const auto first = static_cast<int>(static_cast<unsigned char>(chunk[20]));
        const auto last = static_cast<int>(static_cast<unsigned char>(chunk[21]));
        if (first < 1 || last < first || last > 99 || 22 + std::size_t(last - first + 1) * entryBytes > chunk.size()) {
            return fail("its disc-at-once chunk lists no tracks it holds");
        }
        std::int64_t lsn = 0; // of the next track's index 0
        for (int number = first; number <= last; ++number) {
            const std::size_t at = 22 + std::size_t(number - first) * entryBytes;
            TrackFormat format;
            format.SectorBytes = static_cast<std::uint32_t>(bigEndian(chunk, at + 12, 2));
            const auto mode = static_cast<std::uint32_t>(static_cast<unsigned char>(chunk[at + 14]));
            TrackFormat byMode;
            if (!formatOfMode(mode, byMode) || format.SectorBytes < byMode.SectorBytes) {
                return fail("track " + std::to_string(number) + " has a mode that cannot be read");
            }
            // A raw sector says its own mode; a cooked one is known by its size.
            format.Data = byMode.Data == SectorData::Audio ? SectorData::Audio
                : format.SectorBytes == 2048               ? SectorData::Plain
                : format.SectorBytes == 2336               ? SectorData::Mode2Subheader
                                                           : SectorData::RawByHeader;
            const std::uint64_t index0 = bigEndian(chunk, at + 18, offsetBytes);
            const std::uint64_t index1 = bigEndian(chunk, at + 18 + offsetBytes, offsetBytes);
            const std::uint64_t end = bigEndian(chunk, at + 18 + 2 * offsetBytes, offsetBytes);
            if (index0 > index1 || index1 >= end || end > m_dataEnd || format.SectorBytes == 0) {
                return fail("track " + std::to_string(number) + " lies outside the image");
            }
            const std::uint64_t pregap = (index1 - index0) / format.SectorBytes;
            if (number == first) {
                lsn = -static_cast<std::int64_t>(pregap); // sector 0 is index 1 of the first track
            }
            const std::int64_t start = lsn + static_cast<std::int64_t>(pregap);
            const std::uint64_t sectors = (end - index0) / format.SectorBytes;
            // Sectors before 0 (the first track's pregap) are no part of the readable disc.
            const std::uint64_t skipped = lsn < 0 ? static_cast<std::uint64_t>(-lsn) : 0;
            if (!addTrack(number, format, lsn + static_cast<std::int64_t>(skipped),
                    index0 + skipped * format.SectorBytes, sectors - std::min(sectors, skipped), start)) {
                return false;
            }
            lsn += static_cast<std::int64_t>(sectors);
        }
        return true;
    }

    // An ETN2 (wide) or ETNF chunk.
    bool trackAtOnce(std::string_view chunk, bool wide)
    {
        const std::size_t entryBytes = wide ? 32 : 20;
        const std::size_t number = wide ? 8 : 4;
        if (chunk.size() % entryBytes != 0) {
            return fail("its track-at-once chunk is cut short");
        }
        for (std::size_t at = 0; at < chunk.size(); at += entryBytes) {
            const std::uint64_t offset = bigEndian(chunk, at, number);
            const std::uint64_t length = bigEndian(chunk, at + number, number);
            const auto mode = static_cast<std::uint32_t>(bigEndian(chunk, at + 2 * number, 4));
            const std::uint64_t stored = bigEndian(chunk, at + 2 * number + 4, 4);
            const int track = static_cast<int>(m_layout.Toc.Tracks.size()) + 1;
            TrackFormat format;
            if (!formatOfMode(mode, format)) {
                return fail("track " + std::to_string(track) + " has a mode that cannot be read");
            }
            if (length > m_dataEnd || offset > m_dataEnd - length || length < format.SectorBytes) {
                return fail("track " + std::to_string(track) + " lies outside the image");
            }
            // The gap before each track is left out of the file.
            const std::int64_t start = static_cast<std::int64_t>(stored) + std::int64_t(track - 1) * s_taoGap;
            if (!addTrack(track, format, start, offset, length / format.SectorBytes, start)) {
                return false;
            }
        }
        return true;
    }

    void session(std::uint32_t tracks) { m_sessions.push_back(tracks); }

    bool finish()
    {
        if (m_layout.Toc.Tracks.empty()) {
            return fail("it describes no track");
        }
        // The first track of the last session; every track when the image names no sessions.
        std::size_t first = 0;
        for (std::size_t index = 0; index + 1 < m_sessions.size(); ++index) {
            first += m_sessions[index];
        }
        m_layout.Toc.LastSession = m_layout.Toc.Tracks[std::min(first, m_layout.Toc.Tracks.size() - 1)].Start;
        if (m_sessions.empty()) {
            m_layout.Toc.LastSession = m_layout.Toc.lastDataTrackStart();
        }
        m_layout.Toc.LeadOut = static_cast<std::uint32_t>(m_end);
        return checkTrackLayout(m_layout, m_problem);
    }

    bool fail(const std::string& problem)
    {
        m_problem = problem;
        return false;
    }

private:
    bool addTrack(int number, const TrackFormat& format, std::int64_t lsn, std::uint64_t offset, std::uint64_t sectors,
        std::int64_t start)
    {
        if (number > 99 || lsn < 0 || start < 0 || static_cast<std::uint64_t>(lsn) + sectors > UINT32_MAX
            || static_cast<std::uint64_t>(start) >= static_cast<std::uint64_t>(lsn) + sectors) {
            return fail("track " + std::to_string(number) + " has no place on the disc");
        }
        m_layout.Extents.push_back({ static_cast<std::uint32_t>(lsn), static_cast<std::uint32_t>(sectors), 0, offset,
            format.SectorBytes, format.Data });
        m_layout.Toc.Tracks.push_back({ number, format.Data == SectorData::Audio, static_cast<std::uint32_t>(start) });
        m_end = static_cast<std::uint64_t>(lsn) + sectors;
        return true;
    }

    std::uint64_t m_dataEnd;
    TrackLayout& m_layout;
    std::string& m_problem;
    std::vector<std::uint32_t> m_sessions;
    std::uint64_t m_end = 0;
};

} // namespace

bool parseNrg(std::string_view tail, std::uint64_t fileBytes, const std::string& imagePath, TrackLayout& layout,
    std::string& problem)
{
    layout = TrackLayout();
    if (tail.size() < 12 || tail.size() > fileBytes) {
        problem = "it is no Nero image";
        return false;
    }
    std::uint64_t chunks = 0;
    std::size_t footer = 0;
    if (tail.substr(tail.size() - 12, 4) == "NER5") {
        chunks = bigEndian(tail, tail.size() - 8, 8);
        footer = 12;
    } else if (tail.substr(tail.size() - 8, 4) == "NERO") {
        chunks = bigEndian(tail, tail.size() - 4, 4);
        footer = 8;
    } else {
        problem = "it is no Nero image (no footer)";
        return false;
    }
    const std::uint64_t tailStart = fileBytes - tail.size();
    if (chunks < tailStart || chunks > fileBytes - footer) {
        problem = "its footer points outside the file";
        return false;
    }
    std::string_view area = tail.substr(chunks - tailStart, fileBytes - footer - chunks);
    NrgReader reader(chunks, imagePath, layout, problem);
    while (area.size() >= 8) {
        const std::string_view id = area.substr(0, 4);
        const std::uint64_t length = bigEndian(area, 4, 4);
        if (id == "END!") {
            break;
        }
        if (length > area.size() - 8) {
            return reader.fail("a chunk runs past the end of the file");
        }
        const std::string_view chunk = area.substr(8, length);
        bool read = true;
        if (id == "DAOX" || id == "DAOI") {
            read = reader.discAtOnce(chunk, id == "DAOX");
        } else if (id == "ETN2" || id == "ETNF") {
            read = reader.trackAtOnce(chunk, id == "ETN2");
        } else if (id == "SINF" && length >= 4) {
            reader.session(static_cast<std::uint32_t>(bigEndian(chunk, 0, 4)));
        }
        if (!read) {
            return false;
        }
        area.remove_prefix(8 + length);
    }
    return reader.finish();
}

std::shared_ptr<TrackSource> openNrgImage(const std::string& path, std::string& problem)
{
    std::uint64_t size = 0;
    if (!regularFileSize(path, size)) {
        problem = "the image cannot be read";
        return nullptr;
    }
    const std::uint64_t length = std::min(size, s_maxChunkArea);
    std::string tail(length, '\0');
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool read
        = fd >= 0 && readFileAt(fd, reinterpret_cast<std::uint8_t*>(tail.data()), tail.size(), size - length);
    if (fd >= 0) {
        ::close(fd);
    }
    if (!read) {
        problem = "the image cannot be read";
        return nullptr;
    }
    TrackLayout layout;
    if (!parseNrg(tail, size, path, layout, problem)) {
        return nullptr;
    }
    return openTrackLayout(std::move(layout), problem);
}
