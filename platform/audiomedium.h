#pragma once
// An audio disc as the origin's CD file system shows it: label "Audio CD", one 44-byte file per audio
// track in the top folder ("Track01.cda"), and a serial made from the table of contents.

#include "platform/medium.h"
#include "platform/sectorsource.h"

#include <cstdint>

/// msf(a) = M<<16|S<<8|F of the address a + 150 frames (75 frames a second).
std::uint32_t msfValue(std::uint32_t lsn);
/// The NT family's report of an audio disc's serial: msf(lead-out) for one or two tracks, else the sum of
/// msf(start) of every track (32-bit wrap).
std::uint32_t audioSerialReport(const DiscToc& toc);

class AudioMedium final : public Medium {
public:
    explicit AudioMedium(DiscToc toc);
    /// "Audio CD", the serial, and the lead-out's sectors as 2048-byte blocks.
    VolumeFacts facts() const override;
    /// The top folder only, with a "TrackNN.cda" of 44 bytes dated 1995-01-01 00:00:00 UTC per audio track.
    std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) override;

private:
    DiscToc m_toc;
};
