#pragma once
// Where the disc readers get their 2048-byte sectors from: an image file read with pread (2048-byte
// sectors, or raw 2352-byte ones), an image of a whole CD with its tracks (trackimage.h), or an optical
// device behind libcdio, which also answers the table of contents.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _CdIo CdIo_t;

/// Sectors of 2048 bytes, addressed by logical sector number from the start of the disc.
class SectorSource {
public:
    static constexpr std::uint32_t SectorSize = 2048;

    virtual ~SectorSource() = default;
    /// Reads count sectors from lsn into buffer (count * SectorSize bytes); false when any of them cannot
    /// be read (past the end, an audio sector, a read error).
    virtual bool read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* buffer) = 0;
    /// The sectors the source holds (an image's length, a disc's end), which no sound volume on it
    /// exceeds; 0 when it does not know.
    virtual std::uint64_t sectorCount() const { return 0; }
};

/// Reads exactly length bytes of the file at offset, going on after interruptions; false at the file's
/// end or on an error.
bool readFileAt(int fd, std::uint8_t* buffer, std::size_t length, std::uint64_t offset);

/// An image without tracks: 2048-byte sectors (an .iso, an .img), or raw 2352-byte sectors of a data
/// track (a .bin without its sheet) when the size is a multiple of 2352 and sector 0 or 16 opens with
/// the sync pattern. Null when it cannot be opened. A last partial sector counts as unreadable.
std::shared_ptr<SectorSource> openSectorImage(const std::string& path);

/// One track of a table of contents.
struct DiscTrack {
    int Number = 0;
    bool Audio = false;
    std::uint32_t Start = 0; ///< logical sector of index 1
};

/// The table of contents of a disc.
struct DiscToc {
    std::vector<DiscTrack> Tracks; ///< in track order, never empty in a toc that was read
    std::uint32_t LeadOut = 0; ///< logical sector of the lead-out
    /// Start of the last session: the drive's multi-session answer, else the start of the last data
    /// track (images carry no sessions), else 0.
    std::uint32_t LastSession = 0;

    bool hasDataTrack() const;
    bool allAudio() const;
    /// The start of the last data track, else 0: where the last session starts on an image that carries
    /// no sessions.
    std::uint32_t lastDataTrackStart() const;
};

/// A disc with a table of contents: an optical device or an image of a whole CD.
class TrackSource : public SectorSource {
public:
    /// Reads the table of contents; false when the disc has none that makes sense.
    virtual bool readToc(DiscToc& toc) = 0;
};

/// A disc opened through libcdio: a device node.
class CdioDisc final : public TrackSource {
public:
    ~CdioDisc() override;
    CdioDisc(const CdioDisc&) = delete;
    CdioDisc& operator=(const CdioDisc&) = delete;

    /// Opens an optical device; null when it cannot be opened (no medium, no permission).
    static std::shared_ptr<CdioDisc> openDevice(const std::string& device);

    bool read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* buffer) override;
    std::uint64_t sectorCount() const override;
    bool readToc(DiscToc& toc) override;

private:
    explicit CdioDisc(CdIo_t* cdio);
    CdIo_t* m_cdio;
};

/// libcdio's device nodes of optical drives, resolved and without duplicates, in device order.
std::vector<std::string> opticalDeviceNodes();
/// Whether the drive at the device node holds a disc (CDROM_DRIVE_STATUS; cheap, no spin-up).
bool deviceHasDisc(const std::string& device);
/// Opens or closes the tray of an optical device; failures are silent. Never for images.
void moveDeviceTray(const std::string& device, bool open);
