#pragma once
// cdrdao's table-of-contents files (.toc), read by us: TRACK with its mode, FILE (AUDIOFILE) and
// DATAFILE parts, SILENCE, ZERO, PREGAP and START; CD_TEXT blocks, flags and comments are skipped.
// Lengths are "mm:ss:ff" or a count of samples (588 a sector), a DATAFILE's length also a count of
// bytes. Files are named relative to the .toc's folder (libcdio's driver looks in the current folder and
// reads MODE1 data files as raw sectors, so it is not used).

#include "platform/cuesheet.h"
#include "platform/trackimage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// What one part of a track names: a file with its byte offset, or nothing (silence, zeros).
struct TocFilePart {
    std::string Name; ///< empty for silence and zeros
    std::uint64_t Offset = 0; ///< bytes into the file
    bool ToEnd = false; ///< the part reaches to the end of the file
    std::uint32_t Sectors = 0; ///< unless ToEnd
};

/// A parsed .toc: its tracks with their parts, before the files are looked at.
struct CdrdaoToc {
    struct Track {
        std::uint32_t SectorBytes = 2352;
        SectorData Data = SectorData::Audio;
        bool Audio = true;
        std::vector<TocFilePart> Parts;
        std::uint32_t Start = 0; ///< index 1, in sectors from the track's first
        bool StartGiven = false;
    };
    std::vector<Track> Tracks;
};

/// Parses a .toc; false with a problem.
bool parseCdrdaoToc(std::string_view text, CdrdaoToc& toc, std::string& problem);
/// Lays out a parsed .toc; findFile answers where a named file is and which of its bytes the parts count
/// in (the samples of a WAVE file); false when it is missing.
bool layOutCdrdaoToc(const CdrdaoToc& toc,
    const std::function<bool(const std::string& name, CueFileData& file)>& findFile, TrackLayout& layout,
    std::string& problem);

/// Opens the cdrdao image whose .toc is at path; null with a problem.
std::shared_ptr<TrackSource> openCdrdaoToc(const std::string& path, std::string& problem);
