#pragma once
// Test discs, built at test time in a test's temporary folder:
// - folder trees with chosen sizes and times (writeDiscTree, standardDiscTree);
// - ISO 9660 images made by xorriso or genisoimage from such a tree, with or without Joliet, Rock Ridge
//   or (genisoimage) a UDF bridge, with an El Torito boot record before the Joliet descriptor, for a
//   session that starts further on the disc (buildIsoImage); xorriso's images are the same on every run: it gets a
//   fixed SOURCE_DATE_EPOCH and time zone, the tree fixed times, and the volume id is given;
// - images of whole CDs in every format the drive layer reads (writeCdImage): cue sheets with one BIN,
//   a BIN of another name, a FILE per track (audio as WAVE) or cooked MODE1/2048 data, CloneCD, Nero
//   (disc-at-once and track-at-once), cdrdao and a bare raw .bin; each holding data tracks that wrap an
//   image, audio tracks of silence, and mixes of both (a mixed disc, a CD-Extra).
// And what a test computes on its own to check the drive layer: the volume descriptors of an image file,
// their lane-sum serials, the audio serial of a CUE layout.
//
// Typical use, with a drive table over the results:
//     TempFolder temp;
//     writeDiscTree(temp.file("tree"), standardDiscTree());
//     buildIsoImage(temp.file("tree"), temp.file("disc.iso"));
//     writeCueDisc(temp.file("disc.cue"), { CueTrack::data(temp.file("disc.iso")) });

#include <cstdint>
#include <string>
#include <vector>

/// The time of the test trees' entries unless they name their own: 2010-01-01 12:00:00 UTC.
constexpr std::int64_t DiscTreeTime = 1262347200;
/// SOURCE_DATE_EPOCH of every image: 2020-09-13 12:26:40 UTC.
constexpr std::int64_t DiscImageEpoch = 1600000000;

/// One file or folder of a test tree, relative to the tree's top; a folder's path ends in "/".
struct DiscTreeEntry {
    std::string Path;
    std::uint64_t Size = 0; ///< files only: bytes of a repeating pattern
    std::int64_t Time = DiscTreeTime; ///< last write, seconds since 1970 UTC
};

/// A tree with what readers trip over: nested folders four deep, an empty folder, non-ASCII and CJK
/// names, a name without extension, a file of several sectors, a hidden (dot) file. Times differ per
/// entry.
std::vector<DiscTreeEntry> standardDiscTree();
/// What the primary descriptor of xorriso's images (ISO level 1) makes of the standard tree's names.
std::string primaryName(const std::string& name);
/// The same for genisoimage's images.
std::string genisoimagePrimaryName(const std::string& name);
/// What the Joliet descriptor makes of them: the names themselves, but "NOEXT." loses its dot.
std::string jolietName(const std::string& name);
/// Creates the entries below folder (made when missing) and sets their times, folders after their
/// contents. False when anything cannot be made.
bool writeDiscTree(const std::string& folder, const std::vector<DiscTreeEntry>& entries);
/// The bytes a tree's file of this size holds.
std::string discTreeFileBytes(std::uint64_t size);

/// The programs that build the tests' ISO images.
enum class IsoGenerator { Xorriso, Genisoimage };

struct IsoImageOptions {
    IsoGenerator Generator = IsoGenerator::Xorriso;
    std::string VolumeId = "KATALOX_TEST";
    bool Joliet = true;
    /// Joliet names of up to 103 characters instead of 64.
    bool JolietLong = false;
    /// Rock Ridge entries (xorriso writes them unless told not to; here they are asked for).
    bool RockRidge = false;
    /// A UDF bridge beside the ISO 9660 volume (genisoimage only).
    bool Udf = false;
    /// The character set of the source folder's names ("euc-jp"); empty for UTF-8.
    std::string InputCharset;
    /// Adds "boot.img" to the source folder and makes it a no-emulation El Torito boot image: the boot
    /// record then lies between the primary and the Joliet descriptor, and the tree holds "boot.img" and
    /// "boot.catalog".
    bool ElTorito = false;
    /// The sector where the image's session starts on its disc (a CD-Extra's data track): every address
    /// in the image counts from the disc's start, the file itself begins with the session.
    std::uint32_t SessionStart = 0;
};

/// Runs the generator on the source folder; false when it fails or is missing.
bool buildIsoImage(const std::string& sourceFolder, const std::string& isoPath, const IsoImageOptions& options = {});

/// One track of a CD image.
struct CueTrack {
    bool Audio = true;
    std::uint32_t Sectors = 0; ///< audio tracks: length in sectors (75 a second)
    std::string Image; ///< data tracks: the 2048-byte-sector image the track holds

    static CueTrack audio(std::uint32_t sectors) { return { true, sectors, {} }; }
    static CueTrack data(std::string image) { return { false, 0, std::move(image) }; }
};

/// Where a CD image's tracks lie.
struct CueLayout {
    std::vector<std::uint32_t> TrackStarts;
    std::uint32_t LeadOut = 0;
};

/// The formats of CD images the tests write.
enum class CdImageFormat {
    CueOneBin, ///< a sheet and one BIN named after it, data as MODE1/2352 (sync and header, EDC/ECC zero)
    CueOtherBin, ///< the same, the BIN named otherwise ("<name> (image).bin")
    CuePerTrack, ///< a sheet with one FILE a track: data as BINARY, audio as WAVE
    CueCooked, ///< a sheet and one BIN, data as MODE1/2048
    CloneCd, ///< a control file (.ccd) and its raw image (.img)
    NeroDiscAtOnce, ///< an .nrg with CUEX and DAOX chunks, track 1's pregap stored
    NeroTrackAtOnce, ///< an .nrg with an ETN2 chunk, each track after a gap the file leaves out
    Cdrdao, ///< a .toc with MODE1 DATAFILE and AUDIO FILE parts
    RawBin, ///< a bare .bin of raw MODE1 sectors: one data track, no sheet
};

/// Writes the tracks as one CD image at path (the sheet, control file or image a drive is given) and
/// answers where its tracks lie. Audio tracks are silence. False on failure.
bool writeCdImage(
    const std::string& path, CdImageFormat format, const std::vector<CueTrack>& tracks, CueLayout* layout = nullptr);
/// writeCdImage as a cue sheet with one BIN.
bool writeCueDisc(const std::string& cuePath, const std::vector<CueTrack>& tracks, CueLayout* layout = nullptr);
/// The start of the track at index when the tracks are laid out one after the other (every format but
/// track-at-once Nero images; to build a CD-Extra's image for its session start); data tracks must exist
/// already when they come before index.
std::uint32_t cueTrackStart(const std::vector<CueTrack>& tracks, std::size_t index);

/// The 2048 bytes of the first volume descriptor of this type (1 primary, 2 supplementary, 0 boot record)
/// from sector 16 of an image file on; empty when there is none.
std::string readVolumeDescriptor(const std::string& imagePath, int type);
/// Where in an image's bytes the directory record of path ("Docs/Deep"; "" for the root record in the
/// descriptor) lies in the tree of the descriptor of this type (2 Joliet, 1 primary); names are
/// compared as the tree stores them, without ";1". npos when there is none.
std::size_t isoRecordOffset(const std::string& image, const std::string& path, int type = 2);
/// Sets the byte at offset of the Joliet directory record of path in the image file (damage: a record
/// length of 20 is shorter than the record's fixed part). False when the file or the record is missing.
bool setIsoRecordByte(const std::string& imagePath, const std::string& path, std::size_t offset, std::uint8_t value);
/// The little-endian 32-bit number at offset of an image, a descriptor or a record.
std::uint32_t isoField32(const std::string& bytes, std::size_t offset);
/// Sets the 32-bit both-byte-order field of an image at offset (a record's extent at +2, size at +10).
void setIsoField32(std::string& image, std::size_t offset, std::uint32_t value);
/// The serial the NT family reports for a data disc whose chosen descriptor this is, computed here:
/// the four 8-bit sums of the bytes at offsets 0, 1, 2, 3 modulo 4, as s0<<24|s1<<16|s2<<8|s3.
std::uint32_t laneSumSerial(const std::string& descriptor);
/// The serial the NT family reports for an audio disc of this layout, computed here.
std::uint32_t audioDiscSerial(const CueLayout& layout);
