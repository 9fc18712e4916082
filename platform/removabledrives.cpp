#include "platform/removabledrives.h"

#include "platform/filesystemspace.h"
#include "platform/foldermedium.h"
#include "platform/medium.h"
#include "platform/volumeids.h"

#include <utility>
#include <vector>

namespace {

class RemovableDrive final : public Drive {
public:
    RemovableDrive(std::shared_ptr<BlockDeviceSource> source, BlockDevice device)
        : m_source(std::move(source))
        , m_device(std::move(device))
    {
        m_known.Type = m_device.property("ID_FS_TYPE");
        m_known.Uuid = m_device.property("ID_FS_UUID");
        m_known.Usage = m_device.property("ID_FS_USAGE");
        const std::string encoded = m_device.property("ID_FS_LABEL_ENC");
        m_known.Label = encoded.empty() ? m_device.property("ID_FS_LABEL") : decodeUdevName(encoded);
    }

    bool volumeFacts(VolumeFacts& facts) override
    {
        const std::optional<MountEntry> mount = currentMount();
        if (!mount) {
            facts = VolumeFacts();
            facts.Problem = "the drive is not mounted";
            return false;
        }
        facts = mountedVolumeFacts(mount->MountPoint, m_device.Node, mount->FileSystem, &m_known);
        return facts.NtSerial != 0;
    }

    bool isAudio(bool& audio) override
    {
        audio = false;
        return mediumPresent();
    }

    void setDoor(bool) override { }

    std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) override
    {
        const std::optional<MountEntry> mount = currentMount();
        if (!mount) {
            return nullptr;
        }
        FolderMedium medium(mount->MountPoint, VolumeFacts(), true);
        return medium.openFolder(relativePath);
    }

    bool isDevice() const override { return false; }
    std::string source() const override { return m_device.Node; }
    bool mediumPresent() override { return currentMount().has_value(); }

    bool fileSystemSpace(FileSystemSpace& space) override
    {
        const std::optional<MountEntry> mount = currentMount();
        return mount && fileSystemSpaceOf(mount->MountPoint, space);
    }

    bool removableState(RemovableDriveState& state) override
    {
        state = RemovableDriveState();
        state.Node = m_device.Node;
        state.KernelName = m_device.KernelName;
        state.FileSystem = m_known.Type;
        state.Label = m_known.Label;
        const std::string vendor = m_device.property("ID_VENDOR");
        const std::string model = m_device.property("ID_MODEL");
        state.Description = vendor.empty() || model.empty() ? vendor + model : vendor + " " + model;
        for (char& c : state.Description) {
            c = c == '_' ? ' ' : c; // udev's ID_MODEL has underscores for blanks
        }
        state.Size = m_device.Size;
        if (const std::optional<MountEntry> mount = currentMount()) {
            state.Mounted = true;
            state.MountPoint = mount->MountPoint;
        }
        return true;
    }

private:
    std::optional<MountEntry> currentMount() const
    {
        const std::vector<MountEntry> mounts = m_source->mounts();
        const MountEntry* mount = findVolumeMount(mounts, m_device);
        return mount != nullptr ? std::optional<MountEntry>(*mount) : std::nullopt;
    }

    std::shared_ptr<BlockDeviceSource> m_source;
    BlockDevice m_device;
    BlockVolume m_known; ///< udev's description of the file system
};

} // namespace

std::unique_ptr<Drive> openRemovableDrive(std::shared_ptr<BlockDeviceSource> source, BlockDevice device)
{
    return std::make_unique<RemovableDrive>(std::move(source), std::move(device));
}

std::string removableDriveIdentity(const BlockDevice& device)
{
    std::string identity = device.SysPath;
    for (const std::string& part : { device.Node, device.property("ID_FS_TYPE"), device.property("ID_FS_UUID"),
             device.property("ID_FS_LABEL_ENC"), device.property("ID_FS_LABEL"), std::to_string(device.Size) }) {
        identity += '\n';
        identity += part;
    }
    return identity;
}

const MountEntry* findVolumeMount(const std::vector<MountEntry>& mounts, const BlockDevice& device)
{
    if (const MountEntry* mount = findDeviceMount(mounts, device.Major, device.Minor)) {
        return mount;
    }
    const std::string node = absolutePath(device.Node);
    for (const MountEntry& entry : mounts) {
        const bool sameNode = entry.Source == device.Node
            || (entry.Source.rfind("/dev/", 0) == 0 && !node.empty() && absolutePath(entry.Source) == node);
        if (entry.Root == "/" && sameNode) {
            return &entry;
        }
    }
    return nullptr;
}

RemovableDriveMonitor::RemovableDriveMonitor(Listener listener, std::shared_ptr<BlockDeviceSource> source)
    : m_listener(std::move(listener))
    , m_source(std::move(source))
{
    if (m_source != nullptr) {
        m_watch = m_source->watch();
    }
    m_known = removableDrives();
}

RemovableDriveMonitor::~RemovableDriveMonitor() = default;

int RemovableDriveMonitor::descriptor() const { return m_watch != nullptr ? m_watch->descriptor() : -1; }

std::map<char, RemovableDriveMonitor::Known> RemovableDriveMonitor::removableDrives() const
{
    std::map<char, Known> drives;
    DriveTable& table = driveTable();
    for (const char letter : table.letters()) {
        Drive* drive = table.drive(letter);
        RemovableDriveState state;
        if (drive != nullptr && drive->removableState(state)) {
            drives[letter] = { drive, state.Mounted };
        }
    }
    return drives;
}

void RemovableDriveMonitor::dispatch()
{
    if (m_watch != nullptr) {
        m_watch->drain();
    }
    driveTable().devicesChanged();
    const std::map<char, Known> now = removableDrives();
    std::vector<Event> removals;
    std::vector<Event> arrivals;
    bool drivesChanged = false;
    for (const auto& [letter, before] : m_known) {
        const auto after = now.find(letter);
        const bool same = after != now.end() && after->second.drive == before.drive;
        drivesChanged = drivesChanged || !same;
        if (before.present && (!same || !after->second.present)) {
            removals.push_back({ Change::Removal, letter });
        }
    }
    for (const auto& [letter, after] : now) {
        const auto before = m_known.find(letter);
        const bool same = before != m_known.end() && before->second.drive == after.drive;
        drivesChanged = drivesChanged || !same;
        if (after.present && (!same || !before->second.present)) {
            arrivals.push_back({ Change::Arrival, letter });
        }
    }
    m_known = now;
    for (const Event& event : removals) {
        m_listener(event);
    }
    if (drivesChanged) {
        m_listener({ Change::DrivesChanged, 0 });
    }
    for (const Event& event : arrivals) {
        m_listener(event);
    }
}
