#pragma once
// Where the ISO 9660 reader gets its 2048-byte sectors from: a plain image file read with pread, or a
// disc behind libcdio (an optical device, or a CUE/BIN image through the same CdIo_t calls), which
// also answers the table of contents.

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
};

/// A plain image of 2048-byte sectors (an .iso); null when it cannot be opened. A last partial sector
/// counts as unreadable.
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
};

/// A disc opened through libcdio: a device node or a CUE/BIN image.
class CdioDisc final : public SectorSource {
public:
    ~CdioDisc() override;
    CdioDisc(const CdioDisc&) = delete;
    CdioDisc& operator=(const CdioDisc&) = delete;

    /// Opens an optical device; null when it cannot be opened (no medium, no permission).
    static std::shared_ptr<CdioDisc> openDevice(const std::string& device);
    /// Opens a CUE sheet with its BIN file; null when libcdio cannot open it. libcdio looks for the BIN
    /// under the sheet's own name with ".bin", and reads sheets with one FILE line only.
    static std::shared_ptr<CdioDisc> openCue(const std::string& cueSheet);

    bool read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* buffer) override;
    /// Reads the table of contents; false when the disc has none that makes sense.
    bool readToc(DiscToc& toc);

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
