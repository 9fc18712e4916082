// The UDF reader against images of a known tree in every revision the reader knows, laid out as writers
// lay them out: names, sizes and dates as the tree has them, the label libblkid reads (as for a mounted
// disc), the serial from the File Set Descriptor.

#include "tests/support/udfimage.h"
#include "platform/drivelayer.h"
#include "platform/volumeids.h"
#include "tests/platform/drivewalk.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

namespace {

std::uint32_t swapped(std::uint32_t value) { return __builtin_bswap32(value); }

/// The standard tree with a name of 120 CJK characters: 360 bytes of UTF-8, UTF-16 in the image.
std::vector<DiscTreeEntry> udfTree()
{
    std::vector<DiscTreeEntry> tree = standardDiscTree();
    std::string name;
    for (int index = 0; index < 116; ++index) {
        name += "\xE6\x97\xA5";
    }
    tree.push_back({ "Music/" + name + ".txt", 5, DiscTreeTime + 77 });
    return tree;
}

struct UdfCase {
    const char* Name;
    UdfImageOptions Options;
};

void PrintTo(const UdfCase& value, std::ostream* out) { *out << value.Name; }

UdfImageOptions options(std::uint16_t revision, bool metadata, bool extended, bool embedded, bool longAllocation)
{
    UdfImageOptions result;
    result.Revision = revision;
    result.MetadataPartition = metadata;
    result.ExtendedEntries = extended;
    result.EmbeddedDirectories = embedded;
    result.LongAllocation = longAllocation;
    return result;
}

class UdfImageTest : public testing::TestWithParam<UdfCase> { };

TEST_P(UdfImageTest, ListsTheTreeWithItsLabelAndSerial)
{
    TempFolder temp;
    const UdfImage udf(udfTree(), GetParam().Options);
    ASSERT_TRUE(writeFileBytes(temp.file("disc.iso"), udf.bytes()));
    const auto drive = openPathDrive(temp.file("disc.iso"));

    VolumeFacts facts;
    ASSERT_TRUE(drive->volumeFacts(facts)) << facts.Problem;
    EXPECT_EQ(facts.Label, "Katalox UDF");
    BlockVolume blkid;
    ASSERT_TRUE(probeBlockVolume(temp.file("disc.iso"), blkid));
    EXPECT_EQ(blkid.Type, "udf");
    EXPECT_EQ(facts.Label, blkid.Label) << "a mounted disc's label comes from libblkid";
    EXPECT_EQ(facts.NtSerial, swapped(laneSumSerial(udf.bytes().substr(udf.fileSetSector() * 2048, 2048))));
    bool audio = true;
    EXPECT_TRUE(drive->isAudio(audio));
    EXPECT_FALSE(audio);

    const WalkResult walk = walkDrive(*drive);
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(walk.Entries, listingOfTree(udfTree()));
    EXPECT_EQ(walk.HiddenCount, 1U);
    const WalkResult rock = walkDrive(*drive, "music/ROCK");
    ASSERT_EQ(rock.Entries.size(), 2U);
    EXPECT_EQ(rock.Entries[1].Path, "song.mp3");
}

INSTANTIATE_TEST_SUITE_P(Revisions, UdfImageTest,
    testing::Values(UdfCase { "Udf102", options(0x0102, false, false, false, false) },
        UdfCase { "Udf150LongAllocation", options(0x0150, false, false, false, true) },
        UdfCase { "Udf201ExtendedEntriesEmbedded", options(0x0201, false, true, true, false) },
        UdfCase { "Udf250MetadataPartition", options(0x0250, true, true, false, true) },
        UdfCase { "Udf260MetadataPartitionEmbedded", options(0x0260, true, true, true, true) }),
    [](const testing::TestParamInfo<UdfCase>& info) { return std::string(info.param.Name); });

TEST(UdfImage, AVirtualPartitionIsNamedAsTheReasonNothingCanBeRead)
{
    TempFolder temp;
    UdfImageOptions metadata;
    metadata.Revision = 0x0250;
    metadata.MetadataPartition = true;
    UdfImage udf(standardDiscTree(), metadata);
    // The metadata partition map becomes a virtual one, as on a CD-R written packet by packet.
    const char* identifier = "*UDF Virtual Partition\0";
    for (std::size_t index = 0; index < 23; ++index) {
        udf.poke(udf.logicalVolumeSector(), 446 + 5 + index, static_cast<std::uint8_t>(identifier[index]));
    }
    udf.seal(udf.logicalVolumeSector());
    ASSERT_TRUE(writeFileBytes(temp.file("packet.udf"), udf.bytes()));
    VolumeFacts facts;
    EXPECT_FALSE(openPathDrive(temp.file("packet.udf"))->volumeFacts(facts));
    EXPECT_EQ(facts.Problem,
        "its UDF volume is kept through a virtual allocation table (a disc written packet by packet), which cannot "
        "be read");
}

} // namespace
