#pragma once
// Removable and external drives (USB sticks, memory cards, external disks): each file system on one is a
// drive of the system's table, whose medium is present while the file system is mounted and is read
// where it is mounted, as a folder that is the root of a volume is read. The monitor tells when such a
// drive's medium arrives or leaves, through a plain descriptor and a callback, so that a window's event
// loop (or a poll loop) can wait on it.
//
// Use:
//     RemovableDriveMonitor monitor([](const RemovableDriveMonitor::Event& event) { ... });
//     // wait until monitor.descriptor() is readable (QSocketNotifier, poll), then:
//     monitor.dispatch();

#include "platform/blockdevices.h"
#include "platform/drivelayer.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

/// A drive over the file system of a removable or external device: present while the file system is
/// mounted (source's mount table); its facts are those of the folder it is mounted on
/// (mountedVolumeFacts, with udev's description where libblkid cannot read the device), its walk that
/// folder's, staying on the file system. Nothing is mounted or ejected here.
std::unique_ptr<Drive> openRemovableDrive(std::shared_ptr<BlockDeviceSource> source, BlockDevice device);

/// What tells the drives of two descriptions apart: another device, or the same device with another
/// file system, serial or label, is another drive.
std::string removableDriveIdentity(const BlockDevice& device);

/// Where the device's file system is mounted as a whole (by its numbers, or by its node for a FUSE
/// mount such as ntfs-3g's); null when it is not.
const MountEntry* findVolumeMount(const std::vector<MountEntry>& mounts, const BlockDevice& device);

class RemovableDriveMonitor {
public:
    enum class Change {
        Arrival, ///< the drive's medium can be read now: plugged in mounted, or mounted
        Removal, ///< the drive's medium is gone: unmounted, or unplugged
        DrivesChanged, ///< removable drives came or went: lists of drives should be refilled
    };
    struct Event {
        Change change = Change::Arrival;
        char letter = 0; ///< the drive's letter; 0 for DrivesChanged
    };
    using Listener = std::function<void(const Event& event)>;

    /// Follows the removable drives of the drive table (driveTable()), learning of changes through a
    /// watch of source (the system's udev and mount table by default). Takes the drives as they are now
    /// without events.
    explicit RemovableDriveMonitor(Listener listener, std::shared_ptr<BlockDeviceSource> source = systemBlockDevices());
    ~RemovableDriveMonitor();
    RemovableDriveMonitor(const RemovableDriveMonitor&) = delete;
    RemovableDriveMonitor& operator=(const RemovableDriveMonitor&) = delete;

    /// The descriptor that turns readable when something may have changed; -1 when changes cannot be
    /// followed (the owner then calls dispatch() on a timer).
    int descriptor() const;
    /// Takes what the descriptor holds and asks the drive table, then tells the listener, on the calling
    /// thread, what changed since the last dispatch: first each drive whose medium left (Removal), then
    /// DrivesChanged when drives came or went, then each drive whose medium arrived (Arrival), each in
    /// letter order. Never blocks. A listener that throws ends this dispatch; later ones report afresh.
    void dispatch();

private:
    struct Known {
        Drive* drive = nullptr; ///< the table keeps every drive it handed out, so this tells drives apart
        bool present = false;
    };
    std::map<char, Known> removableDrives() const;

    Listener m_listener;
    std::shared_ptr<BlockDeviceSource> m_source;
    std::unique_ptr<BlockDeviceWatch> m_watch;
    std::map<char, Known> m_known;
};
