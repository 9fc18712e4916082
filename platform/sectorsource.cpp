#include "platform/sectorsource.h"

#include "platform/medium.h"
#include "platform/trackimage.h"

#include <algorithm>
#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace {

// libcdio initialises its driver table on first use, which is not safe from two threads, and reports
// problems on standard error, which the program and `ktb` keep for their own messages.
void quietLog(cdio_log_level_t, const char*) { }

void initialiseCdio()
{
    static std::once_flag once;
    std::call_once(once, [] {
        cdio_log_set_handler(quietLog);
        cdio_init();
    });
}

constexpr std::uint32_t s_rawSectorSize = 2352;
constexpr std::uint8_t s_sync[12] = { 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0 };

class ImageFile final : public SectorSource {
public:
    ImageFile(int fd, std::uint64_t sectors, bool raw)
        : m_fd(fd)
        , m_sectors(sectors)
        , m_raw(raw)
    {
    }
    ~ImageFile() override { ::close(m_fd); }
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    bool read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* buffer) override
    {
        if (static_cast<std::uint64_t>(lsn) + count > m_sectors) {
            return false;
        }
        if (!m_raw) {
            return readFileAt(m_fd, buffer, static_cast<std::size_t>(count) * SectorSize,
                static_cast<std::uint64_t>(lsn) * SectorSize);
        }
        std::uint8_t raw[s_rawSectorSize];
        for (std::uint32_t index = 0; index < count; ++index) {
            const std::uint64_t sector = static_cast<std::uint64_t>(lsn) + index;
            if (!readFileAt(m_fd, raw, sizeof raw, sector * s_rawSectorSize)
                || !sectorUserData(
                    raw, SectorData::RawByHeader, buffer + static_cast<std::size_t>(index) * SectorSize)) {
                return false;
            }
        }
        return true;
    }

    std::uint64_t sectorCount() const override { return m_sectors; }

private:
    int m_fd;
    std::uint64_t m_sectors;
    bool m_raw;
};

bool startsWithSync(int fd, std::uint64_t offset)
{
    std::uint8_t head[sizeof s_sync];
    return readFileAt(fd, head, sizeof head, offset) && std::memcmp(head, s_sync, sizeof s_sync) == 0;
}

// Largest transfer asked of a drive at once; drives refuse very long reads.
constexpr std::uint32_t s_maxReadSectors = 16;

} // namespace

bool readFileAt(int fd, std::uint8_t* buffer, std::size_t length, std::uint64_t offset)
{
    while (length > 0) {
        const ssize_t got = ::pread(fd, buffer, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false; // the file shrank under us, or the disc holding it failed
        }
        buffer += got;
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

bool sectorUserData(const std::uint8_t* sector, SectorData data, std::uint8_t* userData)
{
    std::size_t offset = 0;
    switch (data) {
    case SectorData::Audio:
        return false;
    case SectorData::Plain:
        offset = 0;
        break;
    case SectorData::Mode2Subheader:
        offset = 8;
        break;
    case SectorData::RawMode1:
        offset = 16;
        break;
    case SectorData::RawMode2:
        offset = 24;
        break;
    case SectorData::RawByHeader:
        if (sector[15] != 1 && sector[15] != 2) {
            return false; // mode 0 (an empty sector of a gap) or garbage
        }
        offset = sector[15] == 1 ? 16 : 24;
        break;
    }
    std::memcpy(userData, sector + offset, SectorSource::SectorSize);
    return true;
}

std::shared_ptr<SectorSource> openSectorImage(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat status { };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    const auto size = static_cast<std::uint64_t>(status.st_size);
    const bool raw = size % s_rawSectorSize == 0 && size > 0
        && (startsWithSync(fd, 0) || startsWithSync(fd, 16 * s_rawSectorSize));
    return std::make_shared<ImageFile>(fd, size / (raw ? s_rawSectorSize : SectorSource::SectorSize), raw);
}

bool DiscToc::hasDataTrack() const
{
    return std::any_of(Tracks.begin(), Tracks.end(), [](const DiscTrack& track) { return !track.Audio; });
}

bool DiscToc::allAudio() const { return !Tracks.empty() && !hasDataTrack(); }

std::uint32_t DiscToc::lastDataTrackStart() const
{
    std::uint32_t start = 0;
    for (const DiscTrack& track : Tracks) {
        if (!track.Audio) {
            start = track.Start;
        }
    }
    return start;
}

CdioDisc::CdioDisc(CdIo_t* cdio)
    : m_cdio(cdio)
{
}

CdioDisc::~CdioDisc() { cdio_destroy(m_cdio); }

std::shared_ptr<CdioDisc> CdioDisc::openDevice(const std::string& device)
{
    initialiseCdio();
    CdIo_t* cdio = cdio_open(device.c_str(), DRIVER_DEVICE);
    return cdio != nullptr ? std::shared_ptr<CdioDisc>(new CdioDisc(cdio)) : nullptr;
}

std::uint64_t CdioDisc::sectorCount() const
{
    const lsn_t last = cdio_get_disc_last_lsn(m_cdio);
    return last == CDIO_INVALID_LSN || last < 0 ? 0 : static_cast<std::uint64_t>(last);
}

bool CdioDisc::read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* buffer)
{
    while (count > 0) {
        const std::uint32_t now = std::min(count, s_maxReadSectors);
        if (lsn > static_cast<std::uint32_t>(INT_MAX) - now) {
            return false;
        }
        if (cdio_read_data_sectors(m_cdio, buffer, static_cast<lsn_t>(lsn), CDIO_CD_FRAMESIZE, now)
            != DRIVER_OP_SUCCESS) {
            return false;
        }
        lsn += now;
        count -= now;
        buffer += static_cast<std::size_t>(now) * SectorSize;
    }
    return true;
}

bool CdioDisc::readToc(DiscToc& toc)
{
    toc = DiscToc();
    const track_t first = cdio_get_first_track_num(m_cdio);
    const track_t count = cdio_get_num_tracks(m_cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 || first + count > 100) {
        return false;
    }
    for (int number = first; number < first + count; ++number) {
        const auto track = static_cast<track_t>(number);
        const lsn_t start = cdio_get_track_lsn(m_cdio, track);
        if (start == CDIO_INVALID_LSN || start < 0) {
            return false;
        }
        toc.Tracks.push_back(
            { number, cdio_get_track_format(m_cdio, track) == TRACK_FORMAT_AUDIO, static_cast<std::uint32_t>(start) });
    }
    const lsn_t leadOut = cdio_get_track_lsn(m_cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut == CDIO_INVALID_LSN || leadOut < 0) {
        return false;
    }
    toc.LeadOut = static_cast<std::uint32_t>(leadOut);
    lsn_t session = 0;
    if (cdio_get_last_session(m_cdio, &session) == DRIVER_OP_SUCCESS && session >= 0) {
        toc.LastSession = static_cast<std::uint32_t>(session);
        return true;
    }
    toc.LastSession = toc.lastDataTrackStart();
    return true;
}

std::vector<std::string> opticalDeviceNodes()
{
    initialiseCdio();
    struct Node {
        std::string Path;
        dev_t Device;
    };
    std::vector<Node> nodes;
    char** devices = cdio_get_devices(DRIVER_DEVICE);
    for (char** at = devices; at != nullptr && *at != nullptr; ++at) {
        // /dev/cdrom and /dev/sr0 are one drive; the real node names it.
        const std::string real = absolutePath(*at);
        const std::string path = real.empty() ? *at : real;
        struct stat status { };
        if (::stat(path.c_str(), &status) != 0 || !S_ISBLK(status.st_mode)) {
            continue;
        }
        const bool known
            = std::any_of(nodes.begin(), nodes.end(), [&](const Node& node) { return node.Device == status.st_rdev; });
        if (!known) {
            nodes.push_back({ path, status.st_rdev });
        }
    }
    if (devices != nullptr) {
        cdio_free_device_list(devices);
    }
    std::sort(nodes.begin(), nodes.end(), [](const Node& a, const Node& b) {
        return std::pair(major(a.Device), minor(a.Device)) < std::pair(major(b.Device), minor(b.Device));
    });
    std::vector<std::string> paths;
    paths.reserve(nodes.size());
    for (const Node& node : nodes) {
        paths.push_back(node.Path);
    }
    return paths;
}

bool deviceHasDisc(const std::string& device)
{
    const int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const int status = ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    ::close(fd);
    return status == CDS_DISC_OK;
}

void moveDeviceTray(const std::string& device, bool open)
{
    initialiseCdio();
    if (open) {
        cdio_eject_media_drive(device.c_str());
        return;
    }
    driver_id_t driver = DRIVER_DEVICE;
    cdio_close_tray(device.c_str(), &driver);
}
