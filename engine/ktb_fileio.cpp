#include "engine/ktb_fileio.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

TKTBIoHook s_hook = nullptr;
void* s_hookData = nullptr;

bool allowed(TKTBIoCall call, const char* path, const char* second = nullptr)
{
    return s_hook == nullptr || s_hook(call, path, second, s_hookData);
}

std::string folderOf(const char* path)
{
    const std::string text = path;
    const std::size_t slash = text.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : text.substr(0, slash);
}

} // namespace

void ktbSetIoHook(TKTBIoHook hook, void* userData)
{
    s_hook = hook;
    s_hookData = userData;
}

int ktbIoCreate(const char* path, bool exclusive)
{
    if (!allowed(TKTBIoCall::Create, path)) {
        return -1;
    }
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
    return ::open(path, flags, 0644);
}

bool ktbIoWrite(int file, const char* path, const void* bytes, std::size_t count, std::uint64_t offset)
{
    if (!allowed(TKTBIoCall::Write, path)) {
        return false;
    }
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    while (count > 0) {
        const ssize_t written = ::pwrite(file, data, count, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        count -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

bool ktbIoTruncate(int file, const char* path, std::uint64_t size)
{
    return allowed(TKTBIoCall::Truncate, path) && ::ftruncate(file, static_cast<off_t>(size)) == 0;
}

bool ktbIoSync(int file, const char* path)
{
    // fdatasync carries the size along with the data; the times may lag, nothing reads them back.
    return allowed(TKTBIoCall::Sync, path) && ::fdatasync(file) == 0;
}

bool ktbIoSyncFolder(const char* path)
{
    if (!allowed(TKTBIoCall::SyncFolder, path)) {
        return false;
    }
    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return false;
    }
    const bool synced = ::fsync(folder) == 0;
    ::close(folder);
    return synced;
}

bool ktbIoRename(const char* from, const char* to, bool replace)
{
    if (!allowed(TKTBIoCall::Rename, from, to)) {
        return false;
    }
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, replace ? 0 : RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (replace || (errno != EINVAL && errno != ENOSYS)) {
        return false;
    }
    // A file system without a rename that refuses to replace: a second name made where none is, then
    // the first one removed, is the same change in two steps that never lose the file. Where a file
    // has one name only, look first, then rename.
    if (::link(from, to) == 0) {
        return ::unlink(from) == 0;
    }
    if (!ktbLinksRefused(errno)) {
        return false;
    }
    if (::access(to, F_OK) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from, to) == 0;
}

bool ktbIoLink(const char* from, const char* to)
{
    if (!allowed(TKTBIoCall::Link, from, to)) {
        return false;
    }
    return ::link(from, to) == 0;
}

bool ktbLinksRefused(int error) { return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == EXDEV; }

bool ktbIoRemove(const char* path)
{
    if (!allowed(TKTBIoCall::Remove, path)) {
        return false;
    }
    return ::unlink(path) == 0 || errno == ENOENT;
}
