#pragma once
// Images of a whole CD with its tracks (cue sheets, CloneCD, Nero, cdrdao): where each stretch of the
// disc's sectors lies in which file and in which sector format, and the table of contents the image
// describes. The parsers of the image formats fill a TrackLayout; one sector source reads them all.

#include "platform/sectorsource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// Where the 2048 bytes of user data lie in a stored sector.
enum class SectorData {
    Audio, ///< none: an audio sector
    Plain, ///< the whole sector is user data (2048 bytes)
    Mode2Subheader, ///< after the 8-byte subheader of a mode 2 form 1 sector stored without sync (2336 bytes)
    RawMode1, ///< after sync and header (offset 16) of a raw 2352-byte sector
    RawMode2, ///< after sync, header and subheader (offset 24) of a raw mode 2 form 1 sector
    RawByHeader, ///< a raw sector whose header byte says mode 1 or mode 2
};

/// Copies the 2048 bytes of user data out of a stored sector; false when it holds none (audio, a raw
/// sector of mode 0).
bool sectorUserData(const std::uint8_t* sector, SectorData data, std::uint8_t* userData);

/// A stretch of consecutive sectors of the disc stored one after the other in a file.
struct ImageExtent {
    std::uint32_t Lsn = 0; ///< the first sector on the disc
    std::uint32_t Count = 0;
    std::size_t File = 0; ///< index into TrackLayout::Files
    std::uint64_t Offset = 0; ///< byte offset of the first sector in its file
    std::uint32_t SectorBytes = 2352;
    SectorData Data = SectorData::Audio;
};

/// An image's disc: its files, where its sectors are stored, and its table of contents. Sectors that
/// no extent holds (gaps the image leaves out) cannot be read.
struct TrackLayout {
    std::vector<std::string> Files;
    std::vector<ImageExtent> Extents; ///< in disc order, never overlapping
    DiscToc Toc;
};

/// Checks a layout a parser made: tracks 1..99 in increasing order and address, starting before the
/// lead-out; extents in disc order without overlap, each naming a file. False with a problem otherwise.
bool checkTrackLayout(const TrackLayout& layout, std::string& problem);

/// Opens the files of a checked layout; null with a problem naming the file that cannot be opened.
std::shared_ptr<TrackSource> openTrackLayout(TrackLayout layout, std::string& problem);

/// The file an image names, looked for in folder: the name as given (relative to the folder unless it
/// is absolute), then its last part (sheets written on other systems name "C:\rips\disc.bin"), then
/// that part in any letter case. Empty when there is none.
std::string findImagePart(const std::string& folder, const std::string& name);
/// The folder of a path ("." for a bare name).
std::string folderOf(const std::string& path);
/// Bytes of a regular file; false when it is none.
bool regularFileSize(const std::string& path, std::uint64_t& size);
/// Reads a small text file (a sheet) whole; false when it cannot be read or is larger than maxBytes.
bool readSheetFile(const std::string& path, std::string& text, std::size_t maxBytes = 1 << 20);

/// "mm:ss:ff" (frames of 1/75 second) as a count of frames; false when malformed.
bool parseFrameTime(std::string_view text, std::uint32_t& frames);
/// Splits a sheet line into words; a word in double quotes keeps its blanks (the quotes go).
std::vector<std::string> sheetWords(std::string_view line);
/// Upper-case ASCII copy.
std::string upperAscii(std::string_view text);
