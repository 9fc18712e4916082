#include "platform/blockdevices.h"

#include "platform/volumeids.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

/// Buses whose devices come and go while the system runs.
constexpr std::array<const char*, 5> s_hotPlugBuses = { "usb", "ieee1394", "firewire", "mmc", "memstick" };

const char* const s_udevControl = "/run/udev/control";

constexpr unsigned s_scsiCdromMajor = 11;

bool onHotPlugBus(const BlockDevice& device)
{
    const std::string bus = device.property("ID_BUS");
    for (const char* hotPlug : s_hotPlugBuses) {
        if (bus == hotPlug
            || std::find(device.Buses.begin(), device.Buses.end(), std::string(hotPlug)) != device.Buses.end()) {
            return true;
        }
    }
    return false;
}

std::string text(const char* value) { return value != nullptr ? std::string(value) : std::string(); }

template <class Object, Object* (*Unref)(Object*)> struct UdevUnref {
    void operator()(Object* object) const { Unref(object); }
};
using UdevPtr = std::unique_ptr<udev, UdevUnref<udev, udev_unref>>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevUnref<udev_device, udev_device_unref>>;
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, UdevUnref<udev_enumerate, udev_enumerate_unref>>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, UdevUnref<udev_monitor, udev_monitor_unref>>;

// Reads what udev knows of one device, and what the disk it belongs to tells.
BlockDevice describe(udev_device* device)
{
    BlockDevice described;
    described.SysPath = text(udev_device_get_syspath(device));
    described.Node = text(udev_device_get_devnode(device));
    described.KernelName = text(udev_device_get_sysname(device));
    const dev_t number = udev_device_get_devnum(device);
    described.Major = major(number);
    described.Minor = minor(number);
    described.Partition = text(udev_device_get_devtype(device)) == "partition";
    described.Size = std::strtoull(text(udev_device_get_sysattr_value(device, "size")).c_str(), nullptr, 10) * 512;
    for (udev_list_entry* entry = udev_device_get_properties_list_entry(device); entry != nullptr;
         entry = udev_list_entry_get_next(entry)) {
        described.Properties[text(udev_list_entry_get_name(entry))] = text(udev_list_entry_get_value(entry));
    }
    udev_device* disk
        = described.Partition ? udev_device_get_parent_with_subsystem_devtype(device, "block", "disk") : device;
    if (disk == nullptr) {
        return described;
    }
    described.DiskRemovable = text(udev_device_get_sysattr_value(disk, "removable")) == "1";
    for (udev_device* parent = udev_device_get_parent(disk); parent != nullptr;
         parent = udev_device_get_parent(parent)) {
        const std::string subsystem = text(udev_device_get_subsystem(parent));
        if (!subsystem.empty()
            && std::find(described.Buses.begin(), described.Buses.end(), subsystem) == described.Buses.end()) {
            described.Buses.push_back(subsystem);
        }
    }
    return described;
}

// Without a udev daemon nobody probed the device: libblkid tells what file system it holds. Only
// devices that may be removable drives are read, never the system's own disks.
void probeUndescribed(BlockDevice& device)
{
    if (!device.property("ID_FS_USAGE").empty() || device.Node.empty()
        || (!device.DiskRemovable && !onHotPlugBus(device))) {
        return;
    }
    BlockVolume volume;
    if (!probeWithBlkid(device.Node, volume)) {
        return;
    }
    device.Properties["ID_FS_USAGE"] = volume.Usage;
    device.Properties["ID_FS_TYPE"] = volume.Type;
    device.Properties["ID_FS_UUID"] = volume.Uuid;
    device.Properties["ID_FS_LABEL"] = volume.Label;
}

class SystemWatch final : public BlockDeviceWatch {
public:
    ~SystemWatch() override
    {
        if (m_mounts >= 0) {
            ::close(m_mounts);
        }
        if (m_epoll >= 0) {
            ::close(m_epoll);
        }
    }

    static std::unique_ptr<SystemWatch> open()
    {
        std::unique_ptr<SystemWatch> watch(new SystemWatch());
        watch->m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
        if (watch->m_epoll < 0) {
            return nullptr;
        }
        const bool udevMonitor = watch->openUdevMonitor();
        // The mount table signals a change as an exceptional condition on its open file.
        watch->m_mounts = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        epoll_event mountEvent {};
        mountEvent.events = EPOLLPRI;
        mountEvent.data.fd = watch->m_mounts;
        const bool mountWatch
            = watch->m_mounts >= 0 && ::epoll_ctl(watch->m_epoll, EPOLL_CTL_ADD, watch->m_mounts, &mountEvent) == 0;
        return udevMonitor || mountWatch ? std::move(watch) : nullptr;
    }

    int descriptor() const override { return m_epoll; }

    void drain() override
    {
        std::array<epoll_event, 4> events {};
        while (::epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()), 0) > 0) {
            // The mount table's condition is cleared by being polled; the monitor's socket is emptied.
            while (m_monitor != nullptr) {
                UdevDevicePtr device(udev_monitor_receive_device(m_monitor.get()));
                if (device == nullptr) {
                    break;
                }
            }
        }
    }

private:
    SystemWatch() = default;

    bool openUdevMonitor()
    {
        m_udev.reset(udev_new());
        if (m_udev == nullptr) {
            return false;
        }
        // Without a udev daemon nothing comes on udev's channel: the kernel's events are followed.
        const char* channel = ::access(s_udevControl, F_OK) == 0 ? "udev" : "kernel";
        m_monitor.reset(udev_monitor_new_from_netlink(m_udev.get(), channel));
        if (m_monitor == nullptr
            || udev_monitor_filter_add_match_subsystem_devtype(m_monitor.get(), "block", nullptr) < 0
            || udev_monitor_enable_receiving(m_monitor.get()) < 0) {
            m_monitor.reset();
            return false;
        }
        const int fd = udev_monitor_get_fd(m_monitor.get());
        epoll_event event {};
        event.events = EPOLLIN;
        event.data.fd = fd;
        if (fd < 0 || ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0) {
            m_monitor.reset();
            return false;
        }
        return true;
    }

    int m_epoll = -1;
    int m_mounts = -1;
    UdevPtr m_udev;
    UdevMonitorPtr m_monitor;
};

class SystemBlockDevices final : public BlockDeviceSource {
public:
    std::vector<BlockDevice> blockDevices() override
    {
        std::vector<BlockDevice> devices;
        const UdevPtr context(udev_new());
        if (context == nullptr) {
            return devices;
        }
        const UdevEnumeratePtr enumeration(udev_enumerate_new(context.get()));
        if (enumeration == nullptr || udev_enumerate_add_match_subsystem(enumeration.get(), "block") < 0
            || udev_enumerate_scan_devices(enumeration.get()) < 0) {
            return devices;
        }
        for (udev_list_entry* entry = udev_enumerate_get_list_entry(enumeration.get()); entry != nullptr;
             entry = udev_list_entry_get_next(entry)) {
            const UdevDevicePtr device(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
            if (device == nullptr) {
                continue;
            }
            BlockDevice described = describe(device.get());
            if (udev_device_get_is_initialized(device.get()) == 0) {
                probeUndescribed(described);
            }
            devices.push_back(std::move(described));
        }
        return devices;
    }

    std::vector<MountEntry> mounts() override { return readMountTable(); }

    std::unique_ptr<BlockDeviceWatch> watch() override { return SystemWatch::open(); }
};

} // namespace

std::string BlockDevice::property(const std::string& name) const
{
    const auto found = Properties.find(name);
    return found != Properties.end() ? found->second : std::string();
}

bool isRemovableFileSystem(const BlockDevice& device)
{
    // Optical drives: udev says so, and without udev their numbers do (SCSI CD-ROM, major 11).
    const bool optical = device.property("ID_CDROM") == "1" || device.Major == s_scsiCdromMajor;
    if (device.Node.empty() || device.property("ID_FS_USAGE") != "filesystem" || optical) {
        return false;
    }
    return device.DiskRemovable || onHotPlugBus(device);
}

std::shared_ptr<BlockDeviceSource> systemBlockDevices() { return std::make_shared<SystemBlockDevices>(); }

bool descriptorReadable(int descriptor)
{
    if (descriptor < 0) {
        return false;
    }
    pollfd ask { descriptor, POLLIN, 0 };
    return ::poll(&ask, 1, 0) > 0 && (ask.revents & POLLIN) != 0;
}
