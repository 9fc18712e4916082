#include "platform/discvolume.h"

#include "platform/isovolume.h"
#include "platform/sectorsource.h"
#include "platform/udfvolume.h"

#include <array>
#include <string_view>
#include <utility>

namespace {

// Descriptors of the recognition sequence looked at; real discs hold a handful.
constexpr std::uint32_t s_maxRecognitionSectors = 64;

// A bridge disc: its ISO 9660 volume's facts, its UDF volume's tree.
class BridgeMedium final : public Medium {
public:
    BridgeMedium(std::shared_ptr<IsoVolume> iso, std::shared_ptr<UdfVolume> udf)
        : m_iso(std::move(iso))
        , m_udf(std::move(udf))
    {
    }

    VolumeFacts facts() const override { return m_iso->facts(); }
    std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) override
    {
        return m_udf->openFolder(relativePath);
    }

private:
    std::shared_ptr<IsoVolume> m_iso;
    std::shared_ptr<UdfVolume> m_udf;
};

} // namespace

bool hasUdfRecognition(SectorSource& source)
{
    std::array<std::uint8_t, SectorSource::SectorSize> sector {};
    for (std::uint32_t lsn = 16; lsn < 16 + s_maxRecognitionSectors; ++lsn) {
        if (!source.read(lsn, 1, sector.data())) {
            return false;
        }
        const std::string_view identifier(reinterpret_cast<const char*>(sector.data() + 1), 5);
        if (identifier == "NSR02" || identifier == "NSR03") {
            return true;
        }
        // The ISO 9660 descriptors come first; the extended area ends at its terminating descriptor.
        if (identifier != "CD001" && identifier != "BEA01" && identifier != "BOOT2" && identifier != "CDW02") {
            return false;
        }
    }
    return false;
}

std::shared_ptr<Medium> openDiscVolume(
    const std::shared_ptr<SectorSource>& source, std::uint32_t sessionStart, std::string& problem)
{
    if (source == nullptr) {
        return nullptr;
    }
    std::shared_ptr<IsoVolume> iso = IsoVolume::open(source, sessionStart);
    if (iso == nullptr) {
        return UdfVolume::open(source, &problem);
    }
    if (!hasUdfRecognition(*source)) {
        return iso;
    }
    // A UDF volume that cannot be read (one kept through a virtual allocation table) leaves the ISO 9660
    // tree, which can.
    std::shared_ptr<UdfVolume> udf = UdfVolume::open(source);
    if (udf == nullptr) {
        return iso;
    }
    return std::make_shared<BridgeMedium>(std::move(iso), std::move(udf));
}
