#pragma once
// Block devices as udev describes them, and the mount table, behind one seam: the system's (libudev
// and /proc/self/mountinfo) or a table a test fills. Which devices hold the file system of a removable
// or external drive is decided here, from udev's description alone.

#include "platform/mounttable.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

/// One block device, a whole disk or a partition, as udev describes it.
struct BlockDevice {
    std::string SysPath; ///< "/sys/devices/pci0000:00/.../block/sdb/sdb1": the device while it is plugged in
    std::string Node; ///< "/dev/sdb1"
    std::string KernelName; ///< "sdb1"
    unsigned Major = 0;
    unsigned Minor = 0;
    bool Partition = false;
    std::uint64_t Size = 0; ///< bytes
    /// udev's properties: ID_FS_USAGE, ID_FS_TYPE, ID_FS_UUID, ID_FS_LABEL_ENC, ID_CDROM, ID_BUS,
    /// ID_VENDOR, ID_MODEL, ...
    std::map<std::string, std::string> Properties;
    bool DiskRemovable = false; ///< the "removable" attribute of the whole disk (removable media)
    /// The subsystems of the devices the disk hangs from, nearest first: "scsi", "usb", "pci".
    std::vector<std::string> Buses;

    /// A property's value, empty when udev has none.
    std::string property(const std::string& name) const;
};

/// Whether the device holds the file system of a removable or external drive: udev found a file
/// system on it (ID_FS_USAGE "filesystem"), it is no optical drive (those are lettered by themselves),
/// and its disk has removable media (a card reader, many USB sticks) or hangs from a hot-plug bus
/// (USB, FireWire, MMC/SD, Memory Stick), as an external disk does. The system's own disks (SATA, NVMe,
/// virtio), loop devices and device-mapper volumes are none.
bool isRemovableFileSystem(const BlockDevice& device);

/// A watch over block devices and mounts: its descriptor turns readable when a device was added,
/// removed or changed, or the mount table changed.
class BlockDeviceWatch {
public:
    virtual ~BlockDeviceWatch() = default;
    /// The descriptor to wait on (poll, epoll, QSocketNotifier): readable after a change.
    virtual int descriptor() const = 0;
    /// Takes the notices that made the descriptor readable; never blocks.
    virtual void drain() = 0;
};

/// Where block devices and mounts come from.
class BlockDeviceSource {
public:
    virtual ~BlockDeviceSource() = default;
    /// Every block device now, whole disks and partitions, in a stable order.
    virtual std::vector<BlockDevice> blockDevices() = 0;
    /// The mount table now.
    virtual std::vector<MountEntry> mounts() = 0;
    /// A new watch over devices and mounts; null when changes cannot be followed.
    virtual std::unique_ptr<BlockDeviceWatch> watch() = 0;
};

/// The system's: libudev's block devices (where no udev daemon described a device, libblkid probes the
/// ones on removable or hot-plug disks for their file system), the process's mount table; the watch
/// follows udev's events (the kernel's where no udev daemon runs) and the mount table.
std::shared_ptr<BlockDeviceSource> systemBlockDevices();

/// Whether a descriptor is readable now (a poll that does not wait).
bool descriptorReadable(int descriptor);
