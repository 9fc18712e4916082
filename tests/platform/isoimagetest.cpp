// The ISO 9660 / Joliet reader against images that xorriso builds from a known tree: names, sizes,
// dates and structure as the origin's CD file system gives them, the label, and the serial computed here
// from the descriptor sector read out of the image file.

#include "platform/drivelayer.h"
#include "tests/platform/drivewalk.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

namespace {

class IsoImageTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_temp = new TempFolder();
        ASSERT_TRUE(writeDiscTree(s_temp->file("tree"), standardDiscTree()));
        ASSERT_TRUE(buildIsoImage(s_temp->file("tree"), s_temp->file("joliet.iso")));
        IsoImageOptions primary;
        primary.Joliet = false;
        ASSERT_TRUE(buildIsoImage(s_temp->file("tree"), s_temp->file("primary.iso"), primary));
    }
    static void TearDownTestSuite()
    {
        delete s_temp;
        s_temp = nullptr;
    }

    static std::string path(const std::string& name) { return s_temp->file(name); }

    static TempFolder* s_temp;
};

TempFolder* IsoImageTest::s_temp = nullptr;

TEST_F(IsoImageTest, JolietImageListsTheTreeWithItsOwnNamesSizesAndTimes)
{
    const auto drive = openPathDrive(path("joliet.iso"));
    const WalkResult walk = walkDrive(*drive);
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(walk.Entries, listingOfTree(standardDiscTree(), jolietName));
}

TEST_F(IsoImageTest, PrimaryOnlyImageListsTheIsoNamesWithoutVersions)
{
    const auto drive = openPathDrive(path("primary.iso"));
    const WalkResult walk = walkDrive(*drive);
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(walk.Entries, listingOfTree(standardDiscTree(), primaryName));
}

TEST_F(IsoImageTest, FactsComeFromTheJolietDescriptorWhenThereIsOne)
{
    for (const char* image : { "joliet.iso", "primary.iso" }) {
        SCOPED_TRACE(image);
        const std::string chosen = readVolumeDescriptor(path(image), std::string(image) == "joliet.iso" ? 2 : 1);
        const std::string primary = readVolumeDescriptor(path(image), 1);
        ASSERT_EQ(chosen.size(), 2048U);
        VolumeFacts facts;
        ASSERT_TRUE(openPathDrive(path(image))->volumeFacts(facts));
        EXPECT_EQ(facts.Label, "KATALOX_TEST");
        EXPECT_EQ(facts.NtSerial, laneSumSerial(chosen));
        EXPECT_EQ(
            facts.TotalBytes, static_cast<std::int64_t>(isoField32(primary, 80)) * (isoField32(primary, 128) & 0xFFFF));
    }
    // The two descriptors differ, so the serials do: the reader really took the Joliet one.
    EXPECT_NE(laneSumSerial(readVolumeDescriptor(path("joliet.iso"), 1)),
        laneSumSerial(readVolumeDescriptor(path("joliet.iso"), 2)));
}

TEST_F(IsoImageTest, JolietAfterAnElToritoBootRecordIsStillFound)
{
    TempFolder temp;
    ASSERT_TRUE(writeDiscTree(temp.file("tree"), standardDiscTree()));
    IsoImageOptions options;
    options.ElTorito = true;
    options.VolumeId = "Boot Disc";
    ASSERT_TRUE(buildIsoImage(temp.file("tree"), temp.file("boot.iso"), options));
    ASSERT_EQ(readVolumeDescriptor(temp.file("boot.iso"), 0).size(), 2048U) << "no boot record";

    const auto drive = openPathDrive(temp.file("boot.iso"));
    VolumeFacts facts;
    ASSERT_TRUE(drive->volumeFacts(facts));
    EXPECT_EQ(facts.Label, "Boot Disc");
    EXPECT_EQ(facts.NtSerial, laneSumSerial(readVolumeDescriptor(temp.file("boot.iso"), 2)));
    WalkResult walk = walkDrive(*drive);
    const std::vector<ListedEntry> expected = listingOfTree(standardDiscTree(), jolietName);
    std::erase_if(walk.Entries, [](const ListedEntry& entry) { return entry.Path.rfind("boot.", 0) == 0; });
    EXPECT_EQ(walk.Entries, expected);
}

TEST_F(IsoImageTest, AFolderBelowTheTopOpensByItsPathInAnyLetterCase)
{
    const auto drive = openPathDrive(path("joliet.iso"));
    for (const char* folder : { "Music/Rock", "music/ROCK", "/Music//Rock/" }) {
        SCOPED_TRACE(folder);
        const WalkResult walk = walkDrive(*drive, folder);
        ASSERT_TRUE(walk.Complete);
        ASSERT_EQ(walk.Entries.size(), 2U);
        EXPECT_EQ(walk.Entries[1].Path, "song.mp3");
    }
    EXPECT_EQ(drive->openFolder("Music/Jazz"), nullptr);
    EXPECT_EQ(drive->openFolder("README"), nullptr) << "a file is no folder";
}

TEST_F(IsoImageTest, TheDataCueOfAnImageReadsLikeTheImage)
{
    TempFolder temp;
    CueLayout layout;
    ASSERT_TRUE(writeCueDisc(temp.file("disc.cue"), { CueTrack::data(path("joliet.iso")) }, &layout));
    const auto iso = openPathDrive(path("joliet.iso"));
    const auto cue = openPathDrive(temp.file("disc.cue"));

    VolumeFacts isoFacts;
    VolumeFacts cueFacts;
    ASSERT_TRUE(iso->volumeFacts(isoFacts));
    ASSERT_TRUE(cue->volumeFacts(cueFacts));
    EXPECT_EQ(cueFacts.Label, isoFacts.Label);
    EXPECT_EQ(cueFacts.NtSerial, isoFacts.NtSerial);
    EXPECT_EQ(cueFacts.TotalBytes, isoFacts.TotalBytes);
    EXPECT_EQ(walkDrive(*cue).Entries, walkDrive(*iso).Entries);

    bool audio = true;
    EXPECT_TRUE(cue->isAudio(audio));
    EXPECT_FALSE(audio);
}

} // namespace
