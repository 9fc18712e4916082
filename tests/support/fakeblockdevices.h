#pragma once
// A table of block devices and mounts standing in for udev and the mount table: tests plug, mount,
// unmount and unplug devices, and every watch of the table turns readable at each change, as udev's
// socket and the mount table's file do.

#include "platform/blockdevices.h"

#include <mutex>
#include <string>
#include <vector>

class FakeBlockDevices final : public BlockDeviceSource {
public:
    FakeBlockDevices();
    ~FakeBlockDevices() override;

    std::vector<BlockDevice> blockDevices() override;
    std::vector<MountEntry> mounts() override;
    std::unique_ptr<BlockDeviceWatch> watch() override;

    /// A USB stick's partition holding a file system of type at node (an image file serves as one);
    /// its numbers are 8:number.
    static BlockDevice usbStick(const std::string& node, const std::string& type, const std::string& uuid,
        const std::string& label, unsigned number);

    void plug(const BlockDevice& device);
    /// Removes the device with that SysPath and its mounts.
    void unplug(const std::string& sysPath);
    /// Mounts the device's file system at folder.
    void mount(const BlockDevice& device, const std::string& folder);
    void unmount(const std::string& folder);

private:
    struct Shared;
    void changed();

    std::shared_ptr<Shared> m_shared;
};
