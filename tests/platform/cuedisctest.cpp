// Images of whole CDs read like a real disc in a drive: audio discs with their serial from the table of
// contents in every image format, and discs mixing audio and data tracks.

#include "platform/drivelayer.h"
#include "tests/platform/drivewalk.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <tuple>

namespace {

constexpr std::int64_t s_trackFileTime = 788918400; // 1995-01-01 00:00:00 UTC

std::vector<ListedEntry> trackFiles(int count)
{
    std::vector<ListedEntry> files;
    for (int track = 1; track <= count; ++track) {
        char name[32];
        std::snprintf(name, sizeof name, "Track%02d.cda", track);
        files.push_back({ name, false, 44, s_trackFileTime });
    }
    return files;
}

struct AudioDiscCase {
    const char* Name;
    std::vector<std::uint32_t> TrackSectors;
};

/// The file a drive is given for an image of this format.
std::string imageFile(CdImageFormat format)
{
    switch (format) {
    case CdImageFormat::CloneCd:
        return "audio.ccd";
    case CdImageFormat::NeroDiscAtOnce:
    case CdImageFormat::NeroTrackAtOnce:
        return "audio.nrg";
    case CdImageFormat::Cdrdao:
        return "audio.toc";
    default:
        return "audio.cue";
    }
}

using AudioDiscParam = std::tuple<CdImageFormat, AudioDiscCase>;

class AudioDiscTest : public testing::TestWithParam<AudioDiscParam> { };

std::string audioDiscName(const testing::TestParamInfo<AudioDiscParam>& info)
{
    static const char* const s_formats[]
        = { "Cue", "CueOtherBin", "CuePerTrack", "CueCooked", "CloneCd", "NeroDao", "NeroTao", "Cdrdao", "Raw" };
    return std::string(s_formats[static_cast<int>(std::get<0>(info.param))]) + "_" + std::get<1>(info.param).Name;
}

TEST_P(AudioDiscTest, SerialLabelAndTrackFilesFollowTheTableOfContents)
{
    const auto& [format, disc] = GetParam();
    TempFolder temp;
    std::vector<CueTrack> tracks;
    for (const std::uint32_t sectors : disc.TrackSectors) {
        tracks.push_back(CueTrack::audio(sectors));
    }
    CueLayout layout;
    ASSERT_TRUE(writeCdImage(temp.file(imageFile(format)), format, tracks, &layout));
    const auto drive = openPathDrive(temp.file(imageFile(format)));

    VolumeFacts facts;
    ASSERT_TRUE(drive->volumeFacts(facts)) << facts.Problem;
    EXPECT_EQ(facts.Label, "Audio CD");
    EXPECT_EQ(facts.NtSerial, audioDiscSerial(layout));
    bool audio = false;
    EXPECT_TRUE(drive->isAudio(audio));
    EXPECT_TRUE(audio);

    const WalkResult walk = walkDrive(*drive);
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(walk.Entries, trackFiles(static_cast<int>(tracks.size())));
    EXPECT_EQ(drive->openFolder("Track01.cda"), nullptr) << "an audio disc has no folders";
}

// One or two tracks take the lead-out's address, more tracks the sum of their starts; the lengths are
// chosen so that the sums carry across seconds and minutes.
INSTANTIATE_TEST_SUITE_P(TrackCounts, AudioDiscTest,
    testing::Combine(testing::Values(CdImageFormat::CueOneBin, CdImageFormat::CuePerTrack, CdImageFormat::CloneCd,
                         CdImageFormat::NeroDiscAtOnce, CdImageFormat::NeroTrackAtOnce, CdImageFormat::Cdrdao),
        testing::Values(AudioDiscCase { "OneTrack", { 4537 } }, AudioDiscCase { "TwoTracks", { 300, 4499 } },
            AudioDiscCase { "ThreeTracks", { 301, 4500, 74 } },
            AudioDiscCase { "FiveTracks", { 75, 149, 4501, 9000, 333 } })),
    audioDiscName);

TEST(AudioDiscSerial, DiffersBetweenTwoAndThreeTracksOfTheSameLength)
{
    // Guards the rule switch: the same total length gives a lead-out serial for two tracks only.
    TempFolder temp;
    CueLayout two;
    CueLayout three;
    ASSERT_TRUE(writeCueDisc(temp.file("two.cue"), { CueTrack::audio(600), CueTrack::audio(600) }, &two));
    ASSERT_TRUE(writeCueDisc(
        temp.file("three.cue"), { CueTrack::audio(400), CueTrack::audio(400), CueTrack::audio(400) }, &three));
    VolumeFacts twoFacts;
    VolumeFacts threeFacts;
    ASSERT_TRUE(openPathDrive(temp.file("two.cue"))->volumeFacts(twoFacts));
    ASSERT_TRUE(openPathDrive(temp.file("three.cue"))->volumeFacts(threeFacts));
    EXPECT_EQ(twoFacts.NtSerial, 0x001200U) << "the lead-out at 1200 + 150 frames is 00:18:00";
    EXPECT_EQ(threeFacts.NtSerial, 0x000200U + 0x000719U + 0x000C32U) << "starts at 00:02:00, 00:07:25, 00:12:50";
}

class MixedDiscTest : public testing::TestWithParam<IsoGenerator> {
protected:
    void SetUp() override { ASSERT_TRUE(writeDiscTree(m_temp.file("tree"), standardDiscTree())); }

    std::string buildImage(const std::string& name, std::uint32_t sessionStart)
    {
        IsoImageOptions options;
        options.Generator = GetParam();
        options.SessionStart = sessionStart;
        options.VolumeId = "EXTRA";
        const std::string image = m_temp.file(name);
        EXPECT_TRUE(buildIsoImage(m_temp.file("tree"), image, options));
        return image;
    }

    TempFolder m_temp;
};

TEST_P(MixedDiscTest, AMixedDiscWithDataFirstIsADataDisc)
{
    const std::string image = buildImage("data.iso", 0);
    ASSERT_TRUE(
        writeCueDisc(m_temp.file("mixed.cue"), { CueTrack::data(image), CueTrack::audio(900), CueTrack::audio(750) }));
    const auto drive = openPathDrive(m_temp.file("mixed.cue"));

    VolumeFacts facts;
    ASSERT_TRUE(drive->volumeFacts(facts));
    EXPECT_EQ(facts.Label, "EXTRA");
    EXPECT_EQ(facts.NtSerial, laneSumSerial(readVolumeDescriptor(image, 2)));
    bool audio = true;
    EXPECT_TRUE(drive->isAudio(audio));
    EXPECT_FALSE(audio) << "track 1 holds data";
    EXPECT_EQ(walkDrive(*drive).Entries, walkDrive(*openPathDrive(image)).Entries);
}

TEST_P(MixedDiscTest, ACdExtraIsReadFromItsDataSessionYetCountsAsAudio)
{
    std::vector<CueTrack> tracks { CueTrack::audio(1200), CueTrack::audio(800) };
    const std::uint32_t dataStart = cueTrackStart(tracks, 2);
    const std::string image = buildImage("extra.iso", dataStart);
    tracks.push_back(CueTrack::data(image));
    CueLayout layout;
    ASSERT_TRUE(writeCueDisc(m_temp.file("extra.cue"), tracks, &layout));
    ASSERT_EQ(layout.TrackStarts[2], dataStart);
    const auto drive = openPathDrive(m_temp.file("extra.cue"));

    VolumeFacts facts;
    ASSERT_TRUE(drive->volumeFacts(facts));
    EXPECT_EQ(facts.Label, "EXTRA");
    EXPECT_EQ(facts.NtSerial, laneSumSerial(readVolumeDescriptor(image, 2)));
    bool audio = false;
    EXPECT_TRUE(drive->isAudio(audio));
    EXPECT_TRUE(audio) << "the audio test looks at track 1 only";
    const WalkResult walk = walkDrive(*drive);
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(walk.Entries, listingOfTree(standardDiscTree(), [](const std::string& name) {
        return name == "NOEXT." ? std::string("NOEXT") : name;
    }));
}

TEST_P(MixedDiscTest, AudioTracksBesideADataTrackWithoutAVolumeShowAsAnAudioDisc)
{
    const std::string junk = m_temp.file("junk.img");
    ASSERT_TRUE(writeFileBytes(junk, std::string(40 * 2048, 'x')));
    CueLayout layout;
    ASSERT_TRUE(writeCueDisc(m_temp.file("odd.cue"), { CueTrack::audio(500), CueTrack::data(junk) }, &layout));
    const auto drive = openPathDrive(m_temp.file("odd.cue"));
    VolumeFacts facts;
    ASSERT_TRUE(drive->volumeFacts(facts));
    EXPECT_EQ(facts.Label, "Audio CD");
    EXPECT_EQ(facts.NtSerial, audioDiscSerial(layout));
    EXPECT_EQ(walkDrive(*drive).Entries, trackFiles(1));
}

INSTANTIATE_TEST_SUITE_P(Generators, MixedDiscTest, testing::Values(IsoGenerator::Xorriso, IsoGenerator::Genisoimage),
    [](const testing::TestParamInfo<IsoGenerator>& info) {
        return info.param == IsoGenerator::Xorriso ? "Xorriso" : "Genisoimage";
    });

TEST(CueSheet, ASheetWhoseBinIsMissingHasNoMedium)
{
    TempFolder temp;
    ASSERT_TRUE(writeFileBytes(
        temp.file("lonely.cue"), "FILE \"lonely.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"));
    const auto drive = openPathDrive(temp.file("lonely.cue"));
    VolumeFacts facts;
    EXPECT_FALSE(drive->volumeFacts(facts));
    bool audio = true;
    EXPECT_FALSE(drive->isAudio(audio));
    EXPECT_FALSE(audio);
    EXPECT_EQ(drive->openFolder(""), nullptr);
}

} // namespace
