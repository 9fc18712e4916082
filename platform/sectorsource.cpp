#include "platform/sectorsource.h"

#include "platform/medium.h"

#include <algorithm>
#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cerrno>
#include <climits>
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

class ImageFile final : public SectorSource {
public:
    ImageFile(int fd, std::uint64_t sectors)
        : m_fd(fd)
        , m_sectors(sectors)
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
        std::size_t wanted = static_cast<std::size_t>(count) * SectorSize;
        auto offset = static_cast<off_t>(static_cast<std::uint64_t>(lsn) * SectorSize);
        while (wanted > 0) {
            const ssize_t got = ::pread(m_fd, buffer, wanted, offset);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false; // the file shrank under us, or the disc holding it failed
            }
            buffer += got;
            offset += got;
            wanted -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int m_fd;
    std::uint64_t m_sectors;
};

// Largest transfer asked of a drive at once; drives refuse very long reads.
constexpr std::uint32_t s_maxReadSectors = 16;

} // namespace

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
    return std::make_shared<ImageFile>(fd, static_cast<std::uint64_t>(status.st_size) / SectorSource::SectorSize);
}

bool DiscToc::hasDataTrack() const
{
    return std::any_of(Tracks.begin(), Tracks.end(), [](const DiscTrack& track) { return !track.Audio; });
}

bool DiscToc::allAudio() const { return !Tracks.empty() && !hasDataTrack(); }

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

std::shared_ptr<CdioDisc> CdioDisc::openCue(const std::string& cueSheet)
{
    initialiseCdio();
    CdIo_t* cdio = cdio_open(cueSheet.c_str(), DRIVER_BINCUE);
    return cdio != nullptr ? std::shared_ptr<CdioDisc>(new CdioDisc(cdio)) : nullptr;
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
    for (const DiscTrack& track : toc.Tracks) {
        if (!track.Audio) {
            toc.LastSession = track.Start;
        }
    }
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
