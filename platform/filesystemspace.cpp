#include "platform/filesystemspace.h"

#include <mutex>
#include <sys/statvfs.h>

namespace {

std::mutex s_probeMutex;
FileSystemSpaceProbe s_probe;

bool statvfsSpace(const std::string& folder, FileSystemSpace& space)
{
    struct statvfs figures { };
    if (::statvfs(folder.c_str(), &figures) != 0 || figures.f_bfree > figures.f_blocks) {
        return false;
    }
    const auto fragment = static_cast<std::int64_t>(figures.f_frsize != 0 ? figures.f_frsize : figures.f_bsize);
    space.Size = static_cast<std::int64_t>(figures.f_blocks) * fragment;
    space.Used = static_cast<std::int64_t>(figures.f_blocks - figures.f_bfree) * fragment;
    return true;
}

} // namespace

bool fileSystemSpaceOf(const std::string& folder, FileSystemSpace& space)
{
    space = FileSystemSpace();
    FileSystemSpaceProbe probe;
    {
        std::lock_guard lock(s_probeMutex);
        probe = s_probe;
    }
    return probe ? probe(folder, space) : statvfsSpace(folder, space);
}

void setFileSystemSpaceProbe(FileSystemSpaceProbe probe)
{
    std::lock_guard lock(s_probeMutex);
    s_probe = std::move(probe);
}
