#pragma once
// A folder of the file system standing in for a disc (a virtual drive, `ktb record DIR`, the mount point
// of a UDF disc). Entries come from readdir and fstatat without following links: a symbolic link is a
// file with its own size, so links can never make the walk loop. Each folder is read whole and closed
// before the walk descends, so deep trees never exhaust file descriptors. The walk of a volume (a
// removable drive, a folder that is the root of a mount) stays on that volume's file system: a folder
// where another file system is mounted is listed empty.

#include "platform/medium.h"

#include <optional>

struct BlockVolume;

/// Lists the folder at path (links in path itself are followed); null when it cannot be opened. With
/// oneFileSystem, folders below it on another file system are listed empty.
std::unique_ptr<DriveFolderListing> openFileSystemFolder(const std::string& path, bool oneFileSystem = false);

/// The facts of folder, the root of a volume mounted from device (a device node, or an image file):
/// label and file system as libblkid reads them from device, else as known tells (what udev said of
/// it), else the mount's fileSystem; for FAT, exFAT and NTFS the NT report of the volume's own serial,
/// for other file systems the folder's stable serial (folderPathSerial); without a label, the folder's
/// name. Space is the file system's room (fileSystemSpaceOf), when it can be asked.
VolumeFacts mountedVolumeFacts(const std::string& folder, const std::string& device, const std::string& fileSystem,
    const BlockVolume* known = nullptr);

class FolderMedium final : public Medium {
public:
    /// A folder with its facts given (the mount point of a disc or of a removable drive), or found on
    /// demand (nullopt); with oneFileSystem its walk stays on the folder's file system.
    FolderMedium(std::string folder, std::optional<VolumeFacts> facts, bool oneFileSystem = false);
    /// The folder at path, by its absolute path; null when the path is no folder. The walk of a folder
    /// that is the root of a mount stays on its file system.
    static std::unique_ptr<FolderMedium> open(const std::string& path);

    /// Unless given: for the root of a mount mountedVolumeFacts, else a hash of the absolute path and
    /// the folder's name. TotalBytes is 0: the recording takes the bytes it walked.
    VolumeFacts facts() const override;
    std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) override;

private:
    std::string m_folder;
    std::optional<VolumeFacts> m_facts;
    bool m_oneFileSystem = false;
};
