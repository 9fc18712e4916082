#pragma once
// Cue sheets, read by us: FILE (BINARY or WAVE), TRACK, INDEX, PREGAP and REM; every other command is
// ignored. The files a sheet names follow each other on the disc, each INDEX counts frames from the
// start of its file, and a track reaches to the next track's first index, also across files (rippers
// write one FILE per track, and some put a track's INDEX 00 at the end of the file before). PREGAP
// takes no room on the disc, as in the readers before ours, so a disc keeps the serial its sheet gave
// it before.

#include "platform/trackimage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// What a cue sheet says, before its files are looked at.
struct CueSheet {
    struct File {
        std::string Name; ///< as the sheet writes it
        bool Wave = false; ///< WAVE, else BINARY
    };
    struct Index {
        int Number = 0;
        std::uint32_t Frames = 0; ///< from the start of its file
        std::size_t File = 0; ///< index into Files
    };
    struct Track {
        int Number = 0;
        std::uint32_t SectorBytes = 2352;
        SectorData Data = SectorData::Audio;
        std::vector<Index> Indexes; ///< in sheet order
    };
    std::vector<File> Files;
    std::vector<Track> Tracks;
};

/// Parses the text of a cue sheet; false with a problem naming the line ("line 3: FILE type MP3 cannot be
/// read: BINARY or WAVE is needed").
bool parseCueSheet(std::string_view text, CueSheet& sheet, std::string& problem);

/// Where the sectors of a file named by a sheet lie in it: the whole file for BINARY, the samples of a
/// WAVE file.
struct CueFileData {
    std::string Path;
    std::uint64_t Offset = 0;
    std::uint64_t Bytes = 0;
};

/// Lays the tracks of a parsed sheet out over its files (one CueFileData for each of sheet.Files); false
/// with a problem (a file too short for its tracks, a data track in a WAVE file).
bool layOutCueSheet(
    const CueSheet& sheet, const std::vector<CueFileData>& files, TrackLayout& layout, std::string& problem);

/// Where the samples of a RIFF WAVE file lie; false when the file is no WAVE file.
bool waveSamples(const std::string& path, std::uint64_t& offset, std::uint64_t& bytes);

/// Reads the sheet at path and opens the files it names, relative to the sheet's folder; null with a
/// problem ("disc.bin, named by the sheet, is missing").
std::shared_ptr<TrackSource> openCueSheet(const std::string& path, std::string& problem);
