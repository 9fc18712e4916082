#pragma once
// A folder of the file system standing in for a disc (a virtual drive, `ktb record DIR`, the mount point
// of a UDF disc). Entries come from readdir and fstatat without following links: a symbolic link is a
// file with its own size, so links can never make the walk loop. Each folder is read whole and closed
// before the walk descends, so deep trees never exhaust file descriptors.

#include "platform/medium.h"

#include <optional>

/// Lists the folder at path (links in path itself are followed); null when it cannot be opened.
std::unique_ptr<DriveFolderListing> openFileSystemFolder(const std::string& path);

class FolderMedium final : public Medium {
public:
    /// A folder with its facts given (the mount point of a disc), or found on demand (nullopt).
    FolderMedium(std::string folder, std::optional<VolumeFacts> facts);
    /// The folder at path, by its absolute path; null when the path is no folder.
    static std::unique_ptr<FolderMedium> open(const std::string& path);

    /// Unless given: for the mount point of a FAT, exFAT or NTFS volume the volume's own serial and its
    /// label, else a hash of the absolute path and the folder's name. TotalBytes is 0: the recording
    /// takes the bytes it walked.
    VolumeFacts facts() const override;
    std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) override;

private:
    std::string m_folder;
    std::optional<VolumeFacts> m_facts;
};
