#pragma once
// The room of a mounted file system (statvfs), behind a seam: tests give the figures of file systems
// they made in image files but cannot mount.

#include "platform/drivelayer.h"

#include <functional>
#include <string>

/// The size and used bytes of the file system holding folder: f_blocks and f_blocks - f_bfree, in
/// fragments of f_frsize bytes (the figures df shows). False when it cannot be asked.
bool fileSystemSpaceOf(const std::string& folder, FileSystemSpace& space);

using FileSystemSpaceProbe = std::function<bool(const std::string& folder, FileSystemSpace& space)>;
/// Installs a probe in place of statvfs (tests); an empty one restores statvfs.
void setFileSystemSpaceProbe(FileSystemSpaceProbe probe);
