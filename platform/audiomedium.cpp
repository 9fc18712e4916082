#include "platform/audiomedium.h"

#include <cstdio>

namespace {

constexpr std::int64_t s_trackFileTime = 788918400; // 1995-01-01 00:00:00 UTC
constexpr std::uint64_t s_trackFileSize = 44;

class TrackListing final : public DriveFolderListing {
public:
    explicit TrackListing(std::vector<int> tracks)
        : m_tracks(std::move(tracks))
    {
    }

    bool next(TKTBDirEntry& entry) override
    {
        if (m_next >= m_tracks.size()) {
            return false;
        }
        char name[32];
        std::snprintf(name, sizeof name, "Track%02d.cda", m_tracks[m_next++]);
        setEntryName(entry, name);
        entry.Attributes = KTB_ATTR_READONLY;
        entry.Size = s_trackFileSize;
        entry.LastWriteTime = s_trackFileTime;
        return true;
    }

    std::unique_ptr<DriveFolderListing> openSubfolder(const TKTBDirEntry&) override { return nullptr; }

private:
    std::vector<int> m_tracks;
    std::size_t m_next = 0;
};

} // namespace

std::uint32_t msfValue(std::uint32_t lsn)
{
    const std::uint32_t address = lsn + 150;
    const std::uint32_t minutes = address / (75 * 60);
    const std::uint32_t seconds = address / 75 % 60;
    const std::uint32_t frames = address % 75;
    return minutes << 16 | seconds << 8 | frames;
}

std::uint32_t audioSerialReport(const DiscToc& toc)
{
    if (toc.Tracks.size() <= 2) {
        return msfValue(toc.LeadOut);
    }
    std::uint32_t sum = 0;
    for (const DiscTrack& track : toc.Tracks) {
        sum += msfValue(track.Start);
    }
    return sum;
}

AudioMedium::AudioMedium(DiscToc toc)
    : m_toc(std::move(toc))
{
}

VolumeFacts AudioMedium::facts() const
{
    VolumeFacts facts;
    facts.Label = "Audio CD";
    facts.NtSerial = audioSerialReport(m_toc);
    facts.TotalBytes = static_cast<std::int64_t>(m_toc.LeadOut) * SectorSource::SectorSize;
    return facts;
}

std::unique_ptr<DriveFolderListing> AudioMedium::openFolder(const std::string& relativePath)
{
    if (!splitRelativePath(relativePath).empty()) {
        return nullptr;
    }
    std::vector<int> tracks;
    for (const DiscTrack& track : m_toc.Tracks) {
        if (track.Audio) {
            tracks.push_back(track.Number);
        }
    }
    return std::make_unique<TrackListing>(std::move(tracks));
}
