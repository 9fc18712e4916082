// Removable and external drives: which block devices udev's description makes drives, their letters
// beside the optical and virtual drives, their facts from file systems made by the real mkfs tools,
// their walk where they are mounted, and the monitor's arrivals and removals. udev and the mount table
// are a test table (FakeBlockDevices); statvfs is answered through its seam.

#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "platform/configfolder.h"
#include "platform/filesystemspace.h"
#include "platform/removabledrives.h"
#include "platform/virtualdrives.h"
#include "tests/support/fakeblockdevices.h"
#include "tests/support/tempfolder.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

namespace {

// --- Which devices are removable drives ---------------------------------------------------------------

struct RuleCase {
    const char* name;
    bool removable;
    BlockDevice device;
};

BlockDevice described(const char* node, std::vector<std::string> buses, bool diskRemovable,
    std::map<std::string, std::string> properties, unsigned major = 8)
{
    BlockDevice device;
    device.Node = node;
    device.SysPath = std::string("/sys/fake") + node;
    device.Major = major;
    device.Buses = std::move(buses);
    device.DiskRemovable = diskRemovable;
    device.Properties = std::move(properties);
    return device;
}

const std::map<std::string, std::string> s_fat = { { "ID_FS_USAGE", "filesystem" }, { "ID_FS_TYPE", "vfat" } };

class RemovableRule : public testing::TestWithParam<RuleCase> { };

TEST_P(RemovableRule, OnlyFileSystemsOfRemovableOrHotPluggedDisksAreDrives)
{
    EXPECT_EQ(isRemovableFileSystem(GetParam().device), GetParam().removable);
}

INSTANTIATE_TEST_SUITE_P(Devices, RemovableRule,
    testing::Values(RuleCase { "UsbStick", true, described("/dev/sdb1", { "scsi", "usb", "pci" }, true, s_fat) },
        RuleCase { "UsbHardDiskWithFixedMedia", true, described("/dev/sdc1", { "scsi", "usb", "pci" }, false, s_fat) },
        RuleCase { "SdCardInBuiltInReader", true,
            described("/dev/mmcblk0p1", { "mmc", "mmc_host", "pci" }, false, s_fat, 179) },
        RuleCase { "FireWireDisk", true, described("/dev/sdd1", { "scsi", "firewire" }, false, s_fat) },
        RuleCase { "UsbByUdevBusAlone", true,
            described("/dev/sde1", {}, false, { { "ID_FS_USAGE", "filesystem" }, { "ID_BUS", "usb" } }) },
        RuleCase { "InternalSataDisk", false, described("/dev/sda2", { "scsi", "ata", "pci" }, false, s_fat) },
        RuleCase { "NvmeDisk", false, described("/dev/nvme0n1p1", { "nvme", "pci" }, false, s_fat, 259) },
        RuleCase { "LoopDevice", false, described("/dev/loop0", {}, false, s_fat, 7) },
        RuleCase { "UsbOpticalDrive", false,
            described("/dev/sr1", { "scsi", "usb" }, true,
                { { "ID_FS_USAGE", "filesystem" }, { "ID_FS_TYPE", "iso9660" }, { "ID_CDROM", "1" } }) },
        RuleCase { "OpticalDriveWithoutUdev", false, described("/dev/sr0", { "scsi", "ata" }, true, s_fat, 11) },
        RuleCase { "UsbWholeDiskWithPartitions", false,
            described("/dev/sdb", { "scsi", "usb" }, true, { { "ID_PART_TABLE_TYPE", "dos" } }) },
        RuleCase { "UsbEncryptedPartition", false,
            described("/dev/sdb2", { "scsi", "usb" }, true, { { "ID_FS_USAGE", "crypto" } }) },
        RuleCase { "NoDeviceNode", false, described("", { "usb" }, true, s_fat) }),
    [](const testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

TEST(SystemBlockDevices, ListsDevicesWithTheirSysfsPathsAndNoLoopDeviceIsADrive)
{
    for (const BlockDevice& device : systemBlockDevices()->blockDevices()) {
        EXPECT_EQ(device.SysPath.rfind("/sys/", 0), 0u) << device.SysPath;
        EXPECT_FALSE(device.KernelName.empty()) << device.SysPath;
        if (device.KernelName.rfind("loop", 0) == 0) {
            EXPECT_FALSE(isRemovableFileSystem(device)) << device.Node;
        }
    }
}

// --- Drives of the system's table ----------------------------------------------------------------------

class RemovableDriveTest : public testing::Test {
protected:
    void SetUp() override
    {
        setConfigFolder(m_temp.path());
        m_devices = std::make_shared<FakeBlockDevices>();
    }
    void TearDown() override
    {
        setDriveTable(nullptr);
        setFileSystemSpaceProbe({});
        setConfigFolder("");
    }

    /// Installs a system table over the fake devices with these optical drives.
    SystemDriveTable& installTable(std::vector<std::string> optical = {})
    {
        auto table = std::make_unique<SystemDriveTable>([optical] { return optical; }, m_devices);
        SystemDriveTable& installed = *table;
        setDriveTable(std::move(table));
        return installed;
    }

    std::string folder(const std::string& name)
    {
        const std::string path = m_temp.file(name);
        std::filesystem::create_directories(path);
        return path;
    }

    TempFolder m_temp;
    std::shared_ptr<FakeBlockDevices> m_devices;
};

TEST_F(RemovableDriveTest, DrivesTakeTheNextFreeLettersAfterTheOpticalDrivesAndKeepThemWhilePlugged)
{
    ASSERT_TRUE(writeFileBytes(m_temp.file("vdrives.lst"), "F=" + m_temp.path() + "\r\n"));
    SystemDriveTable& table = installTable({ "/dev/test-sr0", "/dev/test-sr1" });
    const BlockDevice first = FakeBlockDevices::usbStick("/dev/test-sdb1", "vfat", "1234-ABCD", "ONE", 1);
    const BlockDevice second = FakeBlockDevices::usbStick("/dev/test-sdc1", "exfat", "5678-9ABC", "TWO", 2);
    m_devices->plug(first);
    m_devices->plug(second);
    EXPECT_EQ(table.letters(), (std::vector<char> { 'D', 'E', 'F', 'G', 'H' })) << "F is the virtual drive's";
    ASSERT_NE(table.drive('H'), nullptr);
    EXPECT_EQ(table.drive('H')->source(), "/dev/test-sdc1");
    Drive* kept = table.drive('H');

    m_devices->unplug(first.SysPath);
    EXPECT_EQ(table.letters(), (std::vector<char> { 'D', 'E', 'F', 'H' }));
    EXPECT_EQ(table.drive('H'), kept) << "a drive keeps its letter and its object while it stays";
    const BlockDevice third = FakeBlockDevices::usbStick("/dev/test-sdd1", "ntfs", "0011223344556677", "THREE", 3);
    m_devices->plug(third);
    EXPECT_EQ(table.letters(), (std::vector<char> { 'D', 'E', 'F', 'G', 'H' }));
    EXPECT_EQ(table.drive('G')->source(), "/dev/test-sdd1");

    // Relabelled, the same device is another drive: windows refill what they show of it.
    const std::uint64_t revision = table.revision();
    m_devices->unplug(second.SysPath);
    BlockDevice relabelled = second;
    relabelled.Properties["ID_FS_LABEL"] = "RENAMED";
    m_devices->plug(relabelled);
    EXPECT_NE(table.revision(), revision);
    EXPECT_NE(table.drive('H'), kept);
    RemovableDriveState state;
    ASSERT_TRUE(table.drive('H')->removableState(state));
    EXPECT_EQ(state.Label, "RENAMED");
    EXPECT_FALSE(table.drive('D')->removableState(state)) << "an optical drive is no removable drive";
}

TEST_F(RemovableDriveTest, AFileSystemNotMountedIsListedWithoutAReadableMedium)
{
    SystemDriveTable& table = installTable();
    const BlockDevice stick = FakeBlockDevices::usbStick("/dev/test-sdb1", "vfat", "1234-ABCD", "My\\x20Stick", 1);
    BlockDevice encoded = stick;
    encoded.Properties["ID_FS_LABEL_ENC"] = "My\\x20Stick";
    m_devices->plug(encoded);
    ASSERT_EQ(table.letters(), std::vector<char> { 'D' });
    Drive& drive = *table.drive('D');
    EXPECT_FALSE(drive.isDevice());
    EXPECT_FALSE(drive.mediumPresent());
    VolumeFacts facts;
    EXPECT_FALSE(drive.volumeFacts(facts));
    EXPECT_EQ(facts.Problem, "the drive is not mounted");
    EXPECT_EQ(drive.openFolder(""), nullptr);
    TKTBDisc disc {};
    EXPECT_FALSE(ktbDiscFromDrive('D', disc));

    RemovableDriveState state;
    ASSERT_TRUE(drive.removableState(state));
    EXPECT_FALSE(state.Mounted);
    EXPECT_EQ(state.Node, "/dev/test-sdb1");
    EXPECT_EQ(state.KernelName, "sdb1");
    EXPECT_EQ(state.FileSystem, "vfat");
    EXPECT_EQ(state.Label, "My Stick");
    EXPECT_EQ(state.Description, "Katalox Test Stick");

    m_devices->mount(encoded, folder("media/stick"));
    EXPECT_TRUE(drive.mediumPresent());
    ASSERT_TRUE(drive.removableState(state));
    EXPECT_TRUE(state.Mounted);
    EXPECT_EQ(state.MountPoint, m_temp.file("media/stick"));
}

// --- Facts of FAT, exFAT and NTFS volumes --------------------------------------------------------------

struct FileSystemCase {
    const char* name;
    const char* mkfs; ///< the command, the image path follows
    std::uint64_t imageBytes;
    const char* type;
    const char* label;
    std::size_t serialOffset; ///< where the boot sector holds the serial, least significant byte first
};

std::string tool(const std::string& name)
{
    for (const char* folder : { "/usr/sbin/", "/sbin/", "/usr/bin/" }) {
        struct stat status { };
        if (::stat((folder + name).c_str(), &status) == 0) {
            return folder + name;
        }
    }
    return name;
}

class RemovableVolumeFacts : public RemovableDriveTest, public testing::WithParamInterface<FileSystemCase> { };

TEST_P(RemovableVolumeFacts, SerialLabelAndSpaceComeFromTheVolumeAndItsFileSystem)
{
    const FileSystemCase& kind = GetParam();
    const std::string image = m_temp.file("volume.img");
    ASSERT_TRUE(writeFileBytes(image, ""));
    std::filesystem::resize_file(image, kind.imageBytes);
    const std::string command = tool(kind.mkfs) + " " + image + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string boot = readFileBytes(image).substr(0, 512);
    ASSERT_EQ(boot.size(), 512u);
    std::uint32_t serial = 0;
    std::memcpy(&serial, boot.data() + kind.serialOffset, sizeof serial);

    // What udev said is not what the volume holds: the volume's own bytes count.
    const BlockDevice stick = FakeBlockDevices::usbStick(image, kind.type, "0000-0000", "UDEV", 1);
    m_devices->plug(stick);
    const std::string mountPoint = folder("media/volume");
    ASSERT_TRUE(writeFileBytes(mountPoint + "/notes.txt", "twelve bytes"));
    std::filesystem::create_directories(mountPoint + "/Photos");
    ASSERT_TRUE(writeFileBytes(mountPoint + "/Photos/a.jpg", std::string(3000, 'p')));
    m_devices->mount(stick, mountPoint);
    const std::int64_t size = static_cast<std::int64_t>(kind.imageBytes) - 65536;
    std::int64_t used = 40960;
    setFileSystemSpaceProbe([&](const std::string& folder, FileSystemSpace& space) {
        space = { size, used };
        return folder == mountPoint;
    });
    installTable();

    VolumeFacts facts;
    ASSERT_TRUE(driveTable().drive('D')->volumeFacts(facts));
    EXPECT_EQ(facts.NtSerial, serial);
    EXPECT_EQ(facts.Label, kind.label);
    ASSERT_TRUE(facts.Space.has_value());
    EXPECT_EQ(facts.Space->Size, size);

    TKTBDisc disc {};
    ASSERT_TRUE(ktbDiscFromDrive('D', disc));
    EXPECT_EQ(disc.Serial, __builtin_bswap32(serial)) << "stored byte-reversed, as for every medium";
    EXPECT_EQ(disc.Capacity, size);
    EXPECT_EQ(disc.Used, used);

    // The recording walks where the drive is mounted and takes the room as the walk ends.
    const std::string catalog = m_temp.file("drives.ktb");
    TKTBHandle* handle = nullptr;
    ASSERT_EQ(ktbOpen(handle, catalog.c_str(), KTB_OPEN_CREATE), KTB_OK);
    used = 50000;
    EXPECT_EQ(ktbRecordDrive(handle, 'D', disc, nullptr, nullptr), KTB_OK);
    TKTBDisc recorded {};
    ASSERT_TRUE(ktbReadDisc(handle, KTB_HEADER_SIZE, recorded));
    ktbClose(handle);
    EXPECT_EQ(recorded.Files, 2u);
    EXPECT_EQ(recorded.Folders, 1u);
    EXPECT_EQ(recorded.Capacity, size);
    EXPECT_EQ(recorded.Used, 50000) << "not the 3012 bytes walked";
}

INSTANTIATE_TEST_SUITE_P(MadeByMkfs, RemovableVolumeFacts,
    testing::Values(FileSystemCase { "Fat16", "mkfs.vfat -F 16 -n STICK", 16u << 20, "vfat", "STICK", 0x27 },
        FileSystemCase { "Fat32", "mkfs.vfat -F 32 -n STICK", 40u << 20, "vfat", "STICK", 0x43 },
        FileSystemCase { "Exfat", "mkfs.exfat -L CARD", 16u << 20, "exfat", "CARD", 0x64 },
        FileSystemCase { "Ntfs", "mkfs.ntfs -F -f -q -L DISK", 16u << 20, "ntfs", "DISK", 0x48 }),
    [](const testing::TestParamInfo<FileSystemCase>& info) { return std::string(info.param.name); });

TEST_F(RemovableDriveTest, AFolderThatIsTheRootOfAMountTakesItsFileSystemsRoomAndOtherFoldersDoNot)
{
    setFileSystemSpaceProbe([](const std::string&, FileSystemSpace& space) {
        space = { 1000000, 250000 };
        return true;
    });
    auto table = std::make_unique<PathDriveTable>();
    table->setDrive('R', "/");
    table->setDrive('T', folder("plain"));
    ASSERT_TRUE(writeFileBytes(m_temp.file("plain/a.txt"), "abc"));
    setDriveTable(std::move(table));
    TKTBDisc disc {};
    ASSERT_TRUE(ktbDiscFromDrive('R', disc));
    EXPECT_EQ(disc.Capacity, 1000000);
    EXPECT_EQ(disc.Used, 250000);
    ASSERT_TRUE(ktbDiscFromDrive('T', disc));
    EXPECT_EQ(disc.Capacity, ktbRoundCapacity(0)) << "a folder of its parent's file system keeps the scan's rule";
    EXPECT_EQ(disc.Used, 0);
}

TEST_F(RemovableDriveTest, TheWalkStaysOnTheDrivesFileSystem)
{
    // The root folder poses as the mount point: a folder below it where another file system is mounted
    // (the process's /proc, /sys or /dev) is listed empty.
    const std::vector<MountEntry> mounts = readMountTable();
    const MountEntry* root = findMountAt(mounts, "/");
    std::string crossing;
    for (const MountEntry& entry : mounts) {
        const std::filesystem::path point(entry.MountPoint);
        if (root != nullptr && point.parent_path() == "/" && entry.MountPoint != "/"
            && (entry.Major != root->Major || entry.Minor != root->Minor)) {
            crossing = point.filename().string();
            break;
        }
    }
    if (crossing.empty()) {
        GTEST_SKIP() << "no file system is mounted on a folder of the root";
    }
    const BlockDevice stick = FakeBlockDevices::usbStick("/dev/test-sdb1", "ext4", "", "", 1);
    m_devices->plug(stick);
    m_devices->mount(stick, "/");
    installTable();
    std::unique_ptr<DriveFolderListing> top = driveTable().drive('D')->openFolder("");
    ASSERT_NE(top, nullptr);
    TKTBDirEntry entry {};
    bool found = false;
    while (!found && top->next(entry)) {
        found = crossing == entry.Name;
    }
    ASSERT_TRUE(found) << crossing;
    std::unique_ptr<DriveFolderListing> other = top->openSubfolder(entry);
    ASSERT_NE(other, nullptr) << "the folder itself is recorded";
    EXPECT_FALSE(other->next(entry)) << "nothing of the other file system";
    EXPECT_FALSE(other->failed());
}

// --- Media events ----------------------------------------------------------------------------------

class RemovableMonitorTest : public RemovableDriveTest {
protected:
    using Event = RemovableDriveMonitor::Event;
    using Change = RemovableDriveMonitor::Change;

    /// Waits at most a second for the monitor's descriptor, then dispatches; the events told.
    std::vector<std::pair<Change, char>> eventsWithinASecond(RemovableDriveMonitor& monitor)
    {
        pollfd wait { monitor.descriptor(), POLLIN, 0 };
        if (::poll(&wait, 1, 1000) != 1) {
            ADD_FAILURE() << "no event within a second";
            return {};
        }
        m_events.clear();
        monitor.dispatch();
        return m_events;
    }

    RemovableDriveMonitor::Listener listener()
    {
        return [this](const Event& event) { m_events.emplace_back(event.change, event.letter); };
    }

    std::vector<std::pair<Change, char>> m_events;
};

TEST_F(RemovableMonitorTest, PluggedAndMountedDrivesArriveAndUnmountedAndUnpluggedOnesLeave)
{
    installTable({ "/dev/test-sr0" });
    const BlockDevice stick = FakeBlockDevices::usbStick("/dev/test-sdb1", "vfat", "1234-ABCD", "ONE", 1);
    m_devices->plug(stick);
    m_devices->mount(stick, folder("one"));
    RemovableDriveMonitor monitor(listener(), m_devices);
    ASSERT_GE(monitor.descriptor(), 0);
    monitor.dispatch();
    EXPECT_TRUE(m_events.empty()) << "the drives there at the start raise nothing";

    using List = std::vector<std::pair<Change, char>>;
    const BlockDevice other = FakeBlockDevices::usbStick("/dev/test-sdc1", "exfat", "5678-9ABC", "TWO", 2);
    m_devices->plug(other);
    m_devices->mount(other, folder("two"));
    EXPECT_EQ(eventsWithinASecond(monitor), (List { { Change::DrivesChanged, 0 }, { Change::Arrival, 'F' } }));

    m_devices->unmount(m_temp.file("one"));
    EXPECT_EQ(eventsWithinASecond(monitor), (List { { Change::Removal, 'E' } }));
    m_devices->mount(stick, folder("one"));
    EXPECT_EQ(eventsWithinASecond(monitor), (List { { Change::Arrival, 'E' } }));

    m_devices->unplug(other.SysPath);
    EXPECT_EQ(eventsWithinASecond(monitor), (List { { Change::Removal, 'F' }, { Change::DrivesChanged, 0 } }));

    const BlockDevice unmounted = FakeBlockDevices::usbStick("/dev/test-sdd1", "ntfs", "0011223344556677", "", 3);
    m_devices->plug(unmounted);
    EXPECT_EQ(eventsWithinASecond(monitor), (List { { Change::DrivesChanged, 0 } }))
        << "a drive without a mounted file system has no medium to arrive";
}

} // namespace
