// Who a volume is: the serial of FAT, exFAT and NTFS volumes from their ids, the mount table, and the
// File Set Descriptor of UDF discs (on hand-made UDF volumes, since no test may mount anything).

#include "platform/volumeids.h"
#include "platform/mounttable.h"
#include "platform/sectorsource.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>

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

// A UDF volume made by hand: anchor at 256, the main descriptor sequence at 32, the partition at 270.
class UdfVolume {
public:
    static constexpr std::uint32_t PartitionStart = 270;

    UdfVolume()
        : m_image(320 * 2048, '\0')
    {
        std::string& anchor = descriptor(256, 2);
        put32(anchor, 16, 16 * 2048);
        put32(anchor, 20, 32);
        std::string& partition = descriptor(32, 5);
        put16(partition, 22, 7);
        put32(partition, 188, PartitionStart);
        std::string& volume = descriptor(33, 6);
        put32(volume, 212, 2048);
        put32(volume, 248, 2048);
        put32(volume, 268, 1);
        volume[440] = 1;
        volume[441] = 6;
        put16(volume, 444, 7);
        descriptor(34, 8);
        for (const std::uint32_t at : { 256U, 32U, 33U, 34U }) {
            seal(at);
        }
    }

    void setFileSet(std::uint32_t block, std::uint16_t partitionReference)
    {
        std::string& volume = sector(33);
        put32(volume, 252, block);
        put16(volume, 256, partitionReference);
        seal(33);
    }

    /// Adds a metadata partition map whose metadata file starts at fileBlock and lists its one extent.
    void addMetadataPartition(std::uint32_t fileBlock, std::uint32_t extentBlock)
    {
        std::string& volume = sector(33);
        put32(volume, 268, 2);
        const std::size_t map = 446;
        volume[map] = 2;
        volume[map + 1] = 64;
        volume.replace(map + 5, 23, "*UDF Metadata Partition");
        put16(volume, map + 38, 7);
        put32(volume, map + 40, fileBlock);
        seal(33);
        std::string& entry = descriptor(PartitionStart + fileBlock, 261);
        put32(entry, 172, 8); // one short allocation descriptor
        put32(entry, 176, 10 * 2048);
        put32(entry, 180, extentBlock);
        seal(PartitionStart + fileBlock);
    }

    /// Writes a File Set Descriptor with some content at the sector and answers its 2048 bytes.
    std::string putFileSet(std::uint32_t at)
    {
        std::string& fileSet = descriptor(at, 256);
        for (std::size_t index = 16; index < 2048; ++index) {
            fileSet[index] = static_cast<char>(index * 7 + at);
        }
        seal(at);
        return fileSet;
    }

    std::string& sector(std::uint32_t at)
    {
        m_sectors[at] = m_image.substr(static_cast<std::size_t>(at) * 2048, 2048);
        return m_sectors[at];
    }

    void seal(std::uint32_t at)
    {
        std::string& bytes = m_sectors[at];
        std::uint8_t sum = 0;
        for (std::size_t index = 0; index < 16; ++index) {
            sum = static_cast<std::uint8_t>(sum + (index == 4 ? 0 : static_cast<unsigned char>(bytes[index])));
        }
        bytes[4] = static_cast<char>(sum);
        m_image.replace(static_cast<std::size_t>(at) * 2048, 2048, bytes);
    }

    /// Changes one byte without fixing the tag's checksum.
    void poke(std::uint32_t at, std::size_t offset, char value)
    {
        m_image[static_cast<std::size_t>(at) * 2048 + offset] = value;
    }

    bool write(const std::string& path) const { return writeFileBytes(path, m_image); }

private:
    std::string& descriptor(std::uint32_t at, std::uint16_t tag)
    {
        std::string& bytes = sector(at);
        put16(bytes, 0, tag);
        put32(bytes, 12, at);
        return bytes; // the caller seals it once its fields are in
    }

    static void put16(std::string& bytes, std::size_t at, std::uint16_t value)
    {
        bytes[at] = static_cast<char>(value);
        bytes[at + 1] = static_cast<char>(value >> 8);
    }
    static void put32(std::string& bytes, std::size_t at, std::uint32_t value)
    {
        for (std::size_t index = 0; index < 4; ++index) {
            bytes[at + index] = static_cast<char>(value >> (8 * index));
        }
    }

    std::string m_image;
    std::map<std::uint32_t, std::string> m_sectors;
};

std::uint32_t swapped(std::uint32_t value)
{
    return (value & 0xFF) << 24 | (value >> 8 & 0xFF) << 16 | (value >> 16 & 0xFF) << 8 | value >> 24;
}

TEST(UdfSerial, LaneSumsOverTheFileSetDescriptorReportedLowLaneFirst)
{
    TempFolder temp;
    UdfVolume udf;
    udf.setFileSet(3, 0);
    const std::string fileSet = udf.putFileSet(UdfVolume::PartitionStart + 3);
    ASSERT_TRUE(udf.write(temp.file("udf.img")));
    const auto source = openSectorImage(temp.file("udf.img"));
    std::uint32_t sector = 0;
    ASSERT_TRUE(findUdfFileSetDescriptor(*source, sector));
    EXPECT_EQ(sector, UdfVolume::PartitionStart + 3);
    std::uint32_t serial = 0;
    ASSERT_TRUE(udfSerialReport(*source, serial));
    EXPECT_EQ(serial, swapped(laneSumSerial(fileSet)));
}

TEST(UdfSerial, AFileSetInAMetadataPartitionIsFoundThroughTheMetadataFile)
{
    TempFolder temp;
    UdfVolume udf;
    udf.addMetadataPartition(5, 20);
    udf.setFileSet(2, 1);
    const std::string fileSet = udf.putFileSet(UdfVolume::PartitionStart + 20 + 2);
    ASSERT_TRUE(udf.write(temp.file("udf.img")));
    const auto source = openSectorImage(temp.file("udf.img"));
    std::uint32_t serial = 0;
    ASSERT_TRUE(udfSerialReport(*source, serial));
    EXPECT_EQ(serial, swapped(laneSumSerial(fileSet)));
}

TEST(UdfSerial, DamagedOrMissingDescriptorsGiveNoSerial)
{
    TempFolder temp;
    const auto damaged = [&](const std::function<void(UdfVolume&)>& damage) {
        UdfVolume udf;
        udf.setFileSet(3, 0);
        udf.putFileSet(UdfVolume::PartitionStart + 3);
        damage(udf);
        EXPECT_TRUE(udf.write(temp.file("udf.img")));
        std::uint32_t serial = 0;
        return udfSerialReport(*openSectorImage(temp.file("udf.img")), serial);
    };
    EXPECT_TRUE(damaged([](UdfVolume&) {})) << "the sound volume";
    EXPECT_FALSE(damaged([](UdfVolume& udf) { udf.poke(UdfVolume::PartitionStart + 3, 1, 0); }))
        << "no File Set Descriptor where the volume points";
    EXPECT_FALSE(damaged([](UdfVolume& udf) { udf.poke(256, 12, 0x55); })) << "an anchor whose checksum fails";
    EXPECT_FALSE(damaged([](UdfVolume& udf) { udf.setFileSet(0xFFFFFFF0, 0); })) << "a block past the end";
    EXPECT_FALSE(damaged([](UdfVolume& udf) {
        udf.sector(33)[213] = 0x10; // logical blocks of 4096 bytes
        udf.seal(33);
    })) << "blocks other than 2048 bytes";
    ASSERT_TRUE(writeFileBytes(temp.file("plain.img"), std::string(300 * 2048, '\0')));
    std::uint32_t serial = 0;
    EXPECT_FALSE(udfSerialReport(*openSectorImage(temp.file("plain.img")), serial)) << "no UDF at all";
}

} // namespace
