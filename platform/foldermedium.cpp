#include "platform/foldermedium.h"

#include "platform/filesystemspace.h"
#include "platform/mounttable.h"
#include "platform/volumeids.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// The folders from the top of the walk down to a listing: a bind mount of an ancestor would make the
// walk loop, so a folder met again among its own ancestors cannot be listed.
struct FolderChain {
    dev_t Device = 0;
    ino_t Inode = 0;
    int Depth = 0;
    std::shared_ptr<const FolderChain> Parent;
    /// The file system the walk stays on, when it stays on one.
    std::optional<dev_t> OnlyDevice;

    bool contains(dev_t device, ino_t inode) const
    {
        for (const FolderChain* link = this; link != nullptr; link = link->Parent.get()) {
            if (link->Device == device && link->Inode == inode) {
                return true;
            }
        }
        return false;
    }
};

class FileSystemListing final : public DriveFolderListing {
public:
    // Reads the whole folder open on fd (taken over and closed) below parent (null at the top); null when
    // it cannot be read. At the top, oneFileSystem keeps the walk on the folder's file system.
    static std::unique_ptr<FileSystemListing> read(
        int fd, std::string path, std::shared_ptr<const FolderChain> parent, bool oneFileSystem = false)
    {
        struct stat status { };
        if (::fstat(fd, &status) != 0 || (parent != nullptr && parent->contains(status.st_dev, status.st_ino))) {
            ::close(fd);
            return nullptr;
        }
        const int depth = parent != nullptr ? parent->Depth + 1 : 0;
        std::optional<dev_t> onlyDevice = parent != nullptr ? parent->OnlyDevice : std::nullopt;
        if (parent == nullptr && oneFileSystem) {
            onlyDevice = status.st_dev;
        }
        auto chain = std::make_shared<const FolderChain>(
            FolderChain { status.st_dev, status.st_ino, depth, std::move(parent), onlyDevice });
        std::unique_ptr<FileSystemListing> listing(new FileSystemListing(std::move(path), std::move(chain)));
        if (onlyDevice && status.st_dev != *onlyDevice) {
            ::close(fd); // another file system is mounted here: the folder is recorded, not what it holds
            return listing;
        }
        DIR* directory = ::fdopendir(fd);
        if (directory == nullptr) {
            ::close(fd);
            return nullptr;
        }
        const bool complete = listing->readEntries(directory);
        ::closedir(directory);
        return complete ? std::move(listing) : nullptr;
    }

    bool next(TKTBDirEntry& entry) override
    {
        if (m_next >= m_items.size()) {
            return false;
        }
        const Item& item = m_items[m_next++];
        std::memcpy(entry.Name, m_names.data() + item.NameOffset, item.NameLength);
        entry.Name[item.NameLength] = '\0';
        entry.Attributes = item.Attributes;
        entry.Size = item.Size;
        entry.LastWriteTime = item.Time;
        return true;
    }

    std::unique_ptr<DriveFolderListing> openSubfolder(const TKTBDirEntry& entry) override
    {
        const std::string name(entry.Name, strnlen(entry.Name, sizeof entry.Name));
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos
            || m_chain->Depth + 1 > MaxFolderDepth) {
            return nullptr;
        }
        std::string path = m_path;
        if (path.back() != '/') {
            path += '/';
        }
        path += name;
        // The entry was a folder when it was listed; a link put in its place is not followed.
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            return nullptr;
        }
        return read(fd, std::move(path), m_chain);
    }

private:
    struct Item {
        std::uint32_t NameOffset;
        std::uint16_t NameLength;
        std::uint16_t Attributes;
        std::uint64_t Size;
        std::int64_t Time;
    };

    FileSystemListing(std::string path, std::shared_ptr<const FolderChain> chain)
        : m_path(std::move(path))
        , m_chain(std::move(chain))
    {
    }

    bool readEntries(DIR* directory)
    {
        const int fd = ::dirfd(directory);
        for (;;) {
            errno = 0;
            const dirent* item = ::readdir(directory);
            if (item == nullptr) {
                return errno == 0; // a read error would silently lose entries: the folder cannot be listed
            }
            const char* name = item->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            struct stat status { };
            if (::fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
                continue; // removed since readdir saw it
            }
            add(name, status);
        }
    }

    void add(const char* name, const struct stat& status)
    {
        const std::string cut = cutName(name);
        Item item {};
        item.NameOffset = static_cast<std::uint32_t>(m_names.size());
        item.NameLength = static_cast<std::uint16_t>(cut.size());
        m_names += cut;
        const bool folder = S_ISDIR(status.st_mode);
        item.Attributes = static_cast<std::uint16_t>(folder ? KTB_ATTR_DIRECTORY : KTB_ATTR_ARCHIVE);
        if (name[0] == '.') {
            item.Attributes |= KTB_ATTR_HIDDEN;
        }
        item.Size = folder || status.st_size < 0 ? 0 : static_cast<std::uint64_t>(status.st_size);
        item.Time = status.st_mtim.tv_sec;
        m_items.push_back(item);
    }

    std::string m_path;
    std::shared_ptr<const FolderChain> m_chain;
    std::string m_names;
    std::vector<Item> m_items;
    std::size_t m_next = 0;
};

std::string lastPart(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The device node of a mount: its source when that is one, else the udev link of its numbers.
std::string deviceOfMount(const MountEntry& mount)
{
    if (mount.Source.rfind("/dev/", 0) == 0) {
        return mount.Source;
    }
    return "/dev/block/" + std::to_string(mount.Major) + ":" + std::to_string(mount.Minor);
}

} // namespace

std::unique_ptr<DriveFolderListing> openFileSystemFolder(const std::string& path, bool oneFileSystem)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    return FileSystemListing::read(fd, path, nullptr, oneFileSystem);
}

VolumeFacts mountedVolumeFacts(
    const std::string& folder, const std::string& device, const std::string& fileSystem, const BlockVolume* known)
{
    VolumeFacts facts;
    facts.Label = lastPart(folder);
    BlockVolume volume;
    if (!probeBlockVolume(device, volume) && known != nullptr) {
        volume = *known;
    }
    const std::string type = volume.Type.empty() ? fileSystem : volume.Type;
    ntSerialFromVolumeId(type, volume.Uuid, facts.NtSerial);
    if (!volume.Label.empty()) {
        facts.Label = volume.Label;
    }
    if (facts.NtSerial == 0) {
        facts.NtSerial = folderPathSerial(folder);
    }
    FileSystemSpace space;
    if (fileSystemSpaceOf(folder, space)) {
        facts.Space = space;
    }
    return facts;
}

FolderMedium::FolderMedium(std::string folder, std::optional<VolumeFacts> facts, bool oneFileSystem)
    : m_folder(std::move(folder))
    , m_facts(std::move(facts))
    , m_oneFileSystem(oneFileSystem)
{
}

std::unique_ptr<FolderMedium> FolderMedium::open(const std::string& path)
{
    const std::string folder = absolutePath(path);
    struct stat status { };
    if (folder.empty() || ::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return nullptr;
    }
    const std::vector<MountEntry> mounts = readMountTable();
    const MountEntry* mount = findMountAt(mounts, folder);
    return std::make_unique<FolderMedium>(folder, std::nullopt, mount != nullptr && mount->Root == "/");
}

VolumeFacts FolderMedium::facts() const
{
    if (m_facts) {
        return *m_facts;
    }
    const std::vector<MountEntry> mounts = readMountTable();
    const MountEntry* mount = findMountAt(mounts, m_folder);
    if (mount != nullptr && mount->Root == "/") {
        return mountedVolumeFacts(m_folder, deviceOfMount(*mount), mount->FileSystem);
    }
    VolumeFacts facts;
    facts.Label = lastPart(m_folder);
    facts.NtSerial = folderPathSerial(m_folder);
    return facts;
}

std::unique_ptr<DriveFolderListing> FolderMedium::openFolder(const std::string& relativePath)
{
    std::string path = m_folder;
    for (const std::string& part : splitRelativePath(relativePath)) {
        if (part == "." || part == "..") {
            return nullptr;
        }
        if (path.back() != '/') {
            path += '/';
        }
        path += part;
    }
    return openFileSystemFolder(path, m_oneFileSystem);
}
