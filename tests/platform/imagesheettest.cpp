// The sheets and control files of CD images, read by our own parsers: what each says that cannot be
// read is told in the words of its format, files are found the way users keep them, tracks lie where
// the sheet puts them, and a sheet with one BIN gives the table of contents libcdio gave it before, so
// an audio disc keeps its serial.

#include "platform/cuesheet.h"
#include "platform/drivelayer.h"
#include "tests/platform/drivewalk.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <gtest/gtest.h>

namespace {

const std::string s_sector(2352, '\0');

std::string sectors(std::size_t count)
{
    std::string bytes;
    bytes.reserve(count * s_sector.size());
    for (std::size_t index = 0; index < count; ++index) {
        bytes += s_sector;
    }
    return bytes;
}

// A RIFF WAVE file of that many sectors of silence.
std::string wave(std::size_t count)
{
    const std::string samples = sectors(count);
    std::string header("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\1\0\2\0\x44\xAC\0\0\x10\xB1\x02\0\4\0\x10\0data", 40);
    const auto length = static_cast<std::uint32_t>(samples.size());
    for (int index = 0; index < 4; ++index) {
        header += static_cast<char>(length >> (8 * index));
    }
    return header + samples;
}

struct ProblemCase {
    const char* Name;
    const char* Image; ///< the file the drive is given
    std::vector<std::pair<std::string, std::string>> Files; ///< written first: name and bytes
    const char* Problem;
};

void PrintTo(const ProblemCase& value, std::ostream* out) { *out << value.Name; }

class ImageProblemTest : public testing::TestWithParam<ProblemCase> { };

TEST_P(ImageProblemTest, HasNoMediumAndSaysWhy)
{
    TempFolder temp;
    for (const auto& [name, bytes] : GetParam().Files) {
        ASSERT_TRUE(writeFileBytes(temp.file(name), bytes));
    }
    const auto drive = openPathDrive(temp.file(GetParam().Image));
    VolumeFacts facts;
    EXPECT_FALSE(drive->volumeFacts(facts));
    EXPECT_EQ(facts.Problem, GetParam().Problem);
    EXPECT_EQ(drive->openFolder(""), nullptr);
}

const std::string s_audioTrack = "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";

INSTANTIATE_TEST_SUITE_P(Images, ImageProblemTest,
    testing::Values(
        ProblemCase { "CueBinMissing", "disc.cue", { { "disc.cue", "FILE \"gone.bin\" BINARY\n" + s_audioTrack } },
            "gone.bin, named by the sheet, is missing" },
        ProblemCase { "CueBinTooShort", "disc.cue",
            { { "disc.cue", "FILE \"disc.bin\" BINARY\n" + s_audioTrack + "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n" },
                { "disc.bin", sectors(100) } },
            "disc.bin is too short for track 2" },
        ProblemCase { "CueFileTypeUnknown", "disc.cue",
            { { "disc.cue", "REM ripped\nFILE \"disc.mp3\" MP3\n" + s_audioTrack } },
            "line 2: FILE type MP3 cannot be read: BINARY or WAVE is needed" },
        ProblemCase { "CueTrackModeUnknown", "disc.cue",
            { { "disc.cue", "FILE \"disc.bin\" BINARY\n  TRACK 01 MODE3/2352\n" }, { "disc.bin", sectors(10) } },
            "line 2: track mode MODE3/2352 cannot be read" },
        ProblemCase { "CueTrackWithoutIndexOne", "disc.cue",
            { { "disc.cue", "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n" },
                { "disc.bin", sectors(10) } },
            "track 1 has no INDEX 01" },
        ProblemCase {
            "CueTrackBeforeFile", "disc.cue", { { "disc.cue", s_audioTrack } }, "line 1: TRACK before the first FILE" },
        ProblemCase { "CueDataInWave", "disc.cue",
            { { "disc.cue", "FILE \"disc.wav\" WAVE\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n" },
                { "disc.wav", wave(10) } },
            "data track 1 lies in the WAVE file disc.wav" },
        ProblemCase { "CueWaveWithoutHeader", "disc.cue",
            { { "disc.cue", "FILE \"disc.wav\" WAVE\n" + s_audioTrack }, { "disc.wav", sectors(10) } },
            "disc.wav is no WAVE file" },
        ProblemCase { "CloneCdImageMissing", "disc.ccd", { { "disc.ccd", "[CloneCD]\nVersion=3\n" } },
            "its image (.img) is missing" },
        ProblemCase { "CloneCdScrambled", "disc.ccd",
            { { "disc.ccd", "[CloneCD]\nVersion=3\n[Disc]\nDataTracksScrambled=1\n" }, { "disc.img", sectors(10) } },
            "its data tracks are stored scrambled" },
        ProblemCase {
            "NeroWithoutFooter", "disc.nrg", { { "disc.nrg", sectors(10) } }, "it is no Nero image (no footer)" },
        ProblemCase { "NeroChunkPastTheEnd", "disc.nrg",
            { { "disc.nrg", sectors(2) + std::string("DAOX\0\0\0\x7FNER5\0\0\0\0\0\0\x12\x60", 20) } },
            "a chunk runs past the end of the file" },
        ProblemCase { "CdrdaoFileMissing", "disc.toc", { { "disc.toc", "CD_DA\nTRACK AUDIO\nFILE \"gone.bin\" 0\n" } },
            "gone.bin, named by the table of contents, is missing" },
        ProblemCase { "CdrdaoKeywordUnknown", "disc.toc", { { "disc.toc", "CD_DA\nTRACK AUDIO\nSPIN 3\n" } },
            "unknown keyword SPIN" }),
    [](const testing::TestParamInfo<ProblemCase>& info) { return std::string(info.param.Name); });

TEST(CueSheetFiles, AreFoundByTheirLastPartInAnyLetterCase)
{
    // Sheets written on other systems name full paths in other letter cases.
    TempFolder temp;
    ASSERT_TRUE(writeFileBytes(temp.file("disc.bin"), sectors(600)));
    for (const char* name : { "disc.bin", "C:\\Rips\\disc.bin", "/media/old/DISC.BIN", "Disc.Bin" }) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(
            writeFileBytes(temp.file("disc.cue"), "FILE \"" + std::string(name) + "\" BINARY\n" + s_audioTrack));
        VolumeFacts facts;
        EXPECT_TRUE(openPathDrive(temp.file("disc.cue"))->volumeFacts(facts)) << facts.Problem;
    }
}

TEST(CueSheetTracks, ReachAcrossFilesAndStartAtIndexOne)
{
    // A ripper's sheet: one WAVE file a track, the gap before track 2 at the end of track 1's file.
    TempFolder temp;
    ASSERT_TRUE(writeFileBytes(temp.file("01.wav"), wave(1000)));
    ASSERT_TRUE(writeFileBytes(temp.file("02.wav"), wave(500)));
    ASSERT_TRUE(writeFileBytes(temp.file("rip.cue"),
        "FILE \"01.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 00 00:12:00\n"
        "FILE \"02.wav\" WAVE\n    INDEX 01 00:00:00\n  TRACK 03 AUDIO\n    INDEX 01 00:04:00\n"));
    std::string problem;
    const auto disc = openCueSheet(temp.file("rip.cue"), problem);
    ASSERT_NE(disc, nullptr) << problem;
    DiscToc toc;
    ASSERT_TRUE(disc->readToc(toc));
    ASSERT_EQ(toc.Tracks.size(), 3U);
    EXPECT_EQ(toc.Tracks[0].Start, 0U);
    EXPECT_EQ(toc.Tracks[1].Start, 1000U) << "index 1 of track 2 opens the second file";
    EXPECT_EQ(toc.Tracks[2].Start, 1300U);
    EXPECT_EQ(toc.LeadOut, 1500U);
}

// The table of contents libcdio's CUE driver reads from a sheet, as the reader before ours did.
DiscToc libcdioToc(const std::string& sheet)
{
    cdio_log_set_handler([](cdio_log_level_t, const char*) {});
    DiscToc toc;
    CdIo_t* cdio = cdio_open(sheet.c_str(), DRIVER_BINCUE);
    if (cdio == nullptr) {
        return toc;
    }
    const track_t first = cdio_get_first_track_num(cdio);
    for (track_t track = first; track < first + cdio_get_num_tracks(cdio); ++track) {
        toc.Tracks.push_back({ track, cdio_get_track_format(cdio, track) == TRACK_FORMAT_AUDIO,
            static_cast<std::uint32_t>(cdio_get_track_lsn(cdio, track)) });
    }
    toc.LeadOut = static_cast<std::uint32_t>(cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK));
    cdio_destroy(cdio);
    return toc;
}

TEST(CueSheetTracks, OneBinSheetsKeepTheTableOfContentsLibcdioGaveThem)
{
    // The audio serial comes from the track starts and the lead-out: catalogs hold the serials the reader
    // before ours gave, also for sheets with gaps in the file (INDEX 00) or left out (PREGAP).
    TempFolder temp;
    ASSERT_TRUE(writeFileBytes(temp.file("disc.bin"), sectors(3001)));
    const std::vector<std::string> sheets = {
        "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 00 00:04:00\n    INDEX 01 00:06:00\n"
        "  TRACK 03 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:08:00\n  TRACK 04 AUDIO\n    INDEX 01 00:10:00\n",
        "  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n  TRACK 02 AUDIO\n    INDEX 01 00:26:50\n",
        "  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    PREGAP 00:02:00\n"
        "    INDEX 01 00:20:00\n  TRACK 03 AUDIO\n    INDEX 01 00:30:10\n",
    };
    for (const std::string& tracks : sheets) {
        SCOPED_TRACE(tracks);
        ASSERT_TRUE(writeFileBytes(temp.file("disc.cue"), "FILE \"disc.bin\" BINARY\n" + tracks));
        const DiscToc before = libcdioToc(temp.file("disc.cue"));
        ASSERT_FALSE(before.Tracks.empty());
        std::string problem;
        const auto disc = openCueSheet(temp.file("disc.cue"), problem);
        ASSERT_NE(disc, nullptr) << problem;
        DiscToc toc;
        ASSERT_TRUE(disc->readToc(toc));
        ASSERT_EQ(toc.Tracks.size(), before.Tracks.size());
        for (std::size_t index = 0; index < toc.Tracks.size(); ++index) {
            EXPECT_EQ(toc.Tracks[index].Start, before.Tracks[index].Start) << "track " << index + 1;
            EXPECT_EQ(toc.Tracks[index].Audio, before.Tracks[index].Audio) << "track " << index + 1;
        }
        EXPECT_EQ(toc.LeadOut, before.LeadOut);
    }
}

} // namespace
