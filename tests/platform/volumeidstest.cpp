// Who a volume is: the serial of FAT, exFAT and NTFS volumes from their ids, the mount table, and the
// File Set Descriptor of UDF discs (on hand-made UDF images, since no test may mount anything).

#include "platform/volumeids.h"
#include "platform/mounttable.h"
#include "platform/sectorsource.h"
#include "platform/udfvolume.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"
#include "tests/support/udfimage.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

struct VolumeIdCase {
    const char* Type;
    const char* Uuid;
    bool Known;
    std::uint32_t Serial;
};

class VolumeIdTest : public testing::TestWithParam<VolumeIdCase> { };

TEST_P(VolumeIdTest, FatExfatAndNtfsIdsGiveTheNtSerial)
{
    std::uint32_t serial = 0;
    EXPECT_EQ(ntSerialFromVolumeId(GetParam().Type, GetParam().Uuid, serial), GetParam().Known);
    if (GetParam().Known) {
        EXPECT_EQ(serial, GetParam().Serial);
    }
}

INSTANTIATE_TEST_SUITE_P(Ids, VolumeIdTest,
    testing::Values(VolumeIdCase { "vfat", "ABCD-1234", true, 0xABCD1234 },
        VolumeIdCase { "vfat", "abcd-12ef", true, 0xABCD12EF }, VolumeIdCase { "exfat", "0000-0001", true, 1 },
        VolumeIdCase { "ntfs", "1C2A4F6B2A4F4330", true, 0x2A4F4330 },
        VolumeIdCase { "ntfs3", "00000000DEADBEEF", true, 0xDEADBEEF },
        VolumeIdCase { "fuseblk", "1C2A4F6B2A4F4330", true, 0x2A4F4330 },
        VolumeIdCase { "", "ABCD-1234", true, 0xABCD1234 }, VolumeIdCase { "ext4", "ABCD-1234", false, 0 },
        VolumeIdCase { "vfat", "ABCD1234", false, 0 }, VolumeIdCase { "vfat", "ABCD-12G4", false, 0 },
        VolumeIdCase { "vfat", "", false, 0 }, VolumeIdCase { "ntfs", "1C2A4F6B2A4F433", false, 0 },
        VolumeIdCase { "ntfs", "-C2A4F6B2A4F4330", false, 0 }));

TEST(FolderPathSerial, IsStableNonZeroAndDiffersBetweenFolders)
{
    EXPECT_EQ(folderPathSerial("/home/anna/Photos"), folderPathSerial("/home/anna/Photos"));
    EXPECT_NE(folderPathSerial("/home/anna/Photos"), folderPathSerial("/home/anna/photos"));
    EXPECT_NE(folderPathSerial(""), 0U);
}

TEST(MountInfo, ParsesFieldsOptionalTagsAndEscapes)
{
    const std::string text = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                             "35 22 11:0 / /media/anna/MY\\040DISC ro,nosuid shared:7 master:2 - udf /dev/sr0 ro\n"
                             "36 22 8:17 /sub /mnt/bind rw - vfat /dev/sdb1 rw\n"
                             "37 22 8:17 / /mnt/usb rw - vfat /dev/sdb1 rw\n"
                             "garbage line\n"
                             "38 22 x:1 / /bad rw - tmpfs tmpfs rw\n"
                             "39 22 0:50 / /mnt/usb rw - tmpfs tmpfs rw";
    const std::vector<MountEntry> mounts = parseMountInfo(text);
    ASSERT_EQ(mounts.size(), 5U);
    EXPECT_EQ(mounts[1].MountPoint, "/media/anna/MY DISC");
    EXPECT_EQ(mounts[1].FileSystem, "udf");
    EXPECT_EQ(mounts[1].Source, "/dev/sr0");
    EXPECT_EQ(mounts[1].Major, 11U);
    EXPECT_EQ(mounts[1].Minor, 0U);

    const MountEntry* disc = findDeviceMount(mounts, 11, 0);
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->MountPoint, "/media/anna/MY DISC");
    const MountEntry* usb = findDeviceMount(mounts, 8, 17);
    ASSERT_NE(usb, nullptr);
    EXPECT_EQ(usb->MountPoint, "/mnt/usb") << "a bind mount of a sub-folder is not the volume";
    EXPECT_EQ(findDeviceMount(mounts, 11, 1), nullptr);

    const MountEntry* top = findMountAt(mounts, "/mnt/usb");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->FileSystem, "tmpfs") << "the topmost of stacked mounts";
    EXPECT_EQ(findMountAt(mounts, "/mnt"), nullptr);
}

TEST(MountInfo, TheProcessTableHasARoot)
{
    const std::vector<MountEntry> mounts = readMountTable();
    EXPECT_NE(findMountAt(mounts, "/"), nullptr);
}

std::uint32_t swapped(std::uint32_t value)
{
    return (value & 0xFF) << 24 | (value >> 8 & 0xFF) << 16 | (value >> 16 & 0xFF) << 8 | value >> 24;
}

std::string sectorOf(const UdfImage& udf, std::uint32_t sector) { return udf.bytes().substr(sector * 2048, 2048); }

class UdfSerial : public testing::TestWithParam<bool> { };

TEST_P(UdfSerial, LaneSumsOverTheFileSetDescriptorReportedLowLaneFirst)
{
    // Also when the file set lies in a metadata partition, found through the metadata file.
    TempFolder temp;
    UdfImageOptions options;
    options.Revision = GetParam() ? 0x0250 : 0x0201;
    options.MetadataPartition = GetParam();
    const UdfImage udf(standardDiscTree(), options);
    ASSERT_TRUE(writeFileBytes(temp.file("udf.img"), udf.bytes()));
    const auto source = openSectorImage(temp.file("udf.img"));
    std::uint32_t sector = 0;
    ASSERT_TRUE(findUdfFileSetDescriptor(*source, sector));
    EXPECT_EQ(sector, udf.fileSetSector());
    std::uint32_t serial = 0;
    ASSERT_TRUE(udfSerialReport(*source, serial));
    EXPECT_EQ(serial, swapped(laneSumSerial(sectorOf(udf, sector))));
}

INSTANTIATE_TEST_SUITE_P(FileSetPlaces, UdfSerial, testing::Bool(),
    [](const testing::TestParamInfo<bool>& info) { return info.param ? "MetadataPartition" : "PhysicalPartition"; });

TEST(UdfSerialDamage, DamagedOrMissingDescriptorsGiveNoSerial)
{
    TempFolder temp;
    const auto damaged = [&](const std::function<void(UdfImage&)>& damage) {
        UdfImage udf(standardDiscTree());
        damage(udf);
        EXPECT_TRUE(writeFileBytes(temp.file("udf.img"), udf.bytes()));
        std::uint32_t serial = 0;
        return udfSerialReport(*openSectorImage(temp.file("udf.img")), serial);
    };
    EXPECT_TRUE(damaged([](UdfImage&) {})) << "the sound volume";
    EXPECT_FALSE(damaged([](UdfImage& udf) { udf.poke(udf.fileSetSector(), 1, 0); }))
        << "no File Set Descriptor where the volume points";
    EXPECT_FALSE(damaged([](UdfImage& udf) { udf.poke(UdfImage::Anchor, 12, 0x55); }))
        << "an anchor whose checksum fails";
    EXPECT_FALSE(damaged([](UdfImage& udf) { udf.put32AndSeal(udf.logicalVolumeSector(), 252, 0xFFFFFFF0); }))
        << "a block past the end";
    EXPECT_FALSE(damaged([](UdfImage& udf) { udf.put32AndSeal(udf.logicalVolumeSector(), 212, 4096); }))
        << "blocks other than 2048 bytes";
    EXPECT_TRUE(damaged([](UdfImage& udf) { udf.poke(udf.logicalVolumeSector(), 12, 0x55); }))
        << "a damaged main sequence: the reserve one stands in";
    ASSERT_TRUE(writeFileBytes(temp.file("plain.img"), std::string(300 * 2048, '\0')));
    std::uint32_t serial = 0;
    EXPECT_FALSE(udfSerialReport(*openSectorImage(temp.file("plain.img")), serial)) << "no UDF at all";
}

} // namespace
