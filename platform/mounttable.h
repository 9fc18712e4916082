#pragma once
// The mount table of the process (/proc/self/mountinfo): where a disc is mounted, and which volume a
// folder is the mount point of.

#include <string>
#include <string_view>
#include <vector>

struct MountEntry {
    unsigned Major = 0;
    unsigned Minor = 0;
    std::string Root; ///< the folder of the file system mounted here ("/" for the whole volume)
    std::string MountPoint;
    std::string FileSystem; ///< "vfat", "udf", "fuseblk"
    std::string Source; ///< "/dev/sdb1", or whatever the file system names
};

/// Parses the text of a mountinfo file; lines that do not parse are skipped. Octal escapes ("\040")
/// are decoded.
std::vector<MountEntry> parseMountInfo(std::string_view text);
/// The mount table of this process; empty when it cannot be read.
std::vector<MountEntry> readMountTable();
/// Where the whole block device major:minor is mounted; null when it is not.
const MountEntry* findDeviceMount(const std::vector<MountEntry>& mounts, unsigned major, unsigned minor);
/// The entry mounted exactly at the folder (the topmost one when several are stacked); null when the
/// folder is no mount point.
const MountEntry* findMountAt(const std::vector<MountEntry>& mounts, const std::string& folder);
