#include "tests/support/fakeblockdevices.h"

#include <algorithm>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

struct FakeBlockDevices::Shared {
    std::mutex mutex;
    std::vector<BlockDevice> devices;
    std::vector<MountEntry> mounts;
    std::vector<int> watches; ///< the eventfds of the live watches
};

namespace {

class FakeWatch final : public BlockDeviceWatch {
public:
    FakeWatch(std::shared_ptr<void> owner, std::mutex& mutex, std::vector<int>& watches)
        : m_owner(std::move(owner))
        , m_mutex(mutex)
        , m_watches(watches)
        , m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
        std::lock_guard lock(m_mutex);
        m_watches.push_back(m_fd);
    }
    ~FakeWatch() override
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_watches, m_fd);
        ::close(m_fd);
    }
    int descriptor() const override { return m_fd; }
    void drain() override
    {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_fd, &count, sizeof count);
    }

private:
    std::shared_ptr<void> m_owner; ///< keeps the table's state alive as long as the watch
    std::mutex& m_mutex;
    std::vector<int>& m_watches;
    int m_fd;
};

} // namespace

FakeBlockDevices::FakeBlockDevices()
    : m_shared(std::make_shared<Shared>())
{
}

FakeBlockDevices::~FakeBlockDevices() = default;

std::vector<BlockDevice> FakeBlockDevices::blockDevices()
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->devices;
}

std::vector<MountEntry> FakeBlockDevices::mounts()
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->mounts;
}

std::unique_ptr<BlockDeviceWatch> FakeBlockDevices::watch()
{
    return std::make_unique<FakeWatch>(m_shared, m_shared->mutex, m_shared->watches);
}

BlockDevice FakeBlockDevices::usbStick(const std::string& node, const std::string& type, const std::string& uuid,
    const std::string& label, unsigned number)
{
    BlockDevice device;
    device.KernelName = "sd" + std::string(1, static_cast<char>('a' + number)) + "1";
    device.SysPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(number)
        + "/host6/target6:0:0/6:0:0:0/block/" + device.KernelName.substr(0, 3) + "/" + device.KernelName;
    device.Node = node;
    device.Major = 8;
    device.Minor = number * 16 + 1;
    device.Partition = true;
    device.Size = 8u << 20;
    device.Properties = { { "ID_FS_USAGE", "filesystem" }, { "ID_FS_TYPE", type }, { "ID_FS_UUID", uuid },
        { "ID_FS_LABEL", label }, { "ID_BUS", "usb" }, { "ID_VENDOR", "Katalox" }, { "ID_MODEL", "Test_Stick" } };
    device.DiskRemovable = true;
    device.Buses = { "scsi", "usb", "pci" };
    return device;
}

void FakeBlockDevices::plug(const BlockDevice& device)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->devices.push_back(device);
    }
    changed();
}

void FakeBlockDevices::unplug(const std::string& sysPath)
{
    {
        std::lock_guard lock(m_shared->mutex);
        const auto gone = std::find_if(m_shared->devices.begin(), m_shared->devices.end(),
            [&](const BlockDevice& device) { return device.SysPath == sysPath; });
        if (gone != m_shared->devices.end()) {
            const BlockDevice device = *gone;
            m_shared->devices.erase(gone);
            std::erase_if(m_shared->mounts,
                [&](const MountEntry& mount) { return mount.Major == device.Major && mount.Minor == device.Minor; });
        }
    }
    changed();
}

void FakeBlockDevices::mount(const BlockDevice& device, const std::string& folder)
{
    MountEntry entry;
    entry.Major = device.Major;
    entry.Minor = device.Minor;
    entry.Root = "/";
    entry.MountPoint = folder;
    entry.FileSystem = device.property("ID_FS_TYPE");
    entry.Source = device.Node;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->mounts.push_back(entry);
    }
    changed();
}

void FakeBlockDevices::unmount(const std::string& folder)
{
    {
        std::lock_guard lock(m_shared->mutex);
        std::erase_if(m_shared->mounts, [&](const MountEntry& mount) { return mount.MountPoint == folder; });
    }
    changed();
}

void FakeBlockDevices::changed()
{
    std::lock_guard lock(m_shared->mutex);
    for (const int fd : m_shared->watches) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
    }
}
