#include "engine/ktb_fileio.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
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

int ktbIoCreate(const char* path, unsigned mode, bool exact)
{
    if (!allowed(TKTBIoCall::Create, path)) {
        return -1;
    }
    mode &= 0777;
    // The umask only ever narrows the bits; fchmod then gives the exact ones. Nothing is in the file yet.
    const int file = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (file >= 0 && exact) {
        ::fchmod(file, mode);
    }
    return file;
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

namespace {

/// The process holding an flock on the file, as the kernel lists it; 0 when that cannot be told.
pid_t flockHolder(int file)
{
    struct stat status { };
    if (::fstat(file, &status) != 0) {
        return 0;
    }
    std::FILE* locks = std::fopen("/proc/locks", "re");
    if (locks == nullptr) {
        return 0;
    }
    pid_t holder = 0;
    char line[256];
    while (holder == 0 && std::fgets(line, sizeof line, locks) != nullptr) {
        // "3: FLOCK  ADVISORY  WRITE 4711 08:02:1234567 0 EOF"; a waiter's line holds "->".
        char kind[16] = {};
        int pid = 0;
        unsigned devMajor = 0;
        unsigned devMinor = 0;
        unsigned long long inode = 0;
        if (std::strstr(line, "->") == nullptr
            && std::sscanf(line, "%*d: %15s %*s %*s %d %x:%x:%llu", kind, &pid, &devMajor, &devMinor, &inode) == 5
            && std::strcmp(kind, "FLOCK") == 0 && inode == status.st_ino && devMajor == major(status.st_dev)
            && devMinor == minor(status.st_dev)) {
            holder = pid;
        }
    }
    std::fclose(locks);
    return holder;
}

/// Whether the process is gone or on its way out: a zombie, exiting, or with a kill pending (a fatal
/// signal is turned into one for every thread as it is sent).
bool leaving(pid_t pid)
{
    const std::string folder = "/proc/" + std::to_string(pid) + "/";
    std::FILE* stat = std::fopen((folder + "stat").c_str(), "re");
    if (stat == nullptr) {
        return true;
    }
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, stat) != nullptr;
    std::fclose(stat);
    const char* afterName = read ? std::strrchr(line, ')') : nullptr;
    char state = 0;
    unsigned long flags = 0;
    // After the name: state, parent, group, session, terminal, its group, then the kernel's flags.
    if (afterName == nullptr || std::sscanf(afterName + 1, " %c %*d %*d %*d %*d %*d %lu", &state, &flags) != 2) {
        return true;
    }
    constexpr unsigned long s_exiting = 0x4; // PF_EXITING
    if (state == 'Z' || state == 'X' || state == 'x' || (flags & s_exiting) != 0) {
        return true;
    }
    std::FILE* statusFile = std::fopen((folder + "status").c_str(), "re");
    if (statusFile == nullptr) {
        return true;
    }
    bool killed = false;
    while (!killed && std::fgets(line, sizeof line, statusFile) != nullptr) {
        unsigned long long pending = 0;
        if (std::sscanf(line, "SigPnd: %llx", &pending) == 1 || std::sscanf(line, "ShdPnd: %llx", &pending) == 1) {
            killed = (pending & (1ull << (SIGKILL - 1))) != 0;
        }
    }
    std::fclose(statusFile);
    return killed;
}

/// How long a writer waits for the lock of a process on its way out (as long as it waits for readers).
constexpr auto s_lockPatience = std::chrono::seconds(5);
/// How often a holder that seems to go on is looked at before the lock is refused: a killed process
/// shows no sign of it for a moment between taking its kill and starting to exit.
constexpr int s_liveLooks = 3;

} // namespace

bool ktbIoLock(int file, const char* path)
{
    const auto until = std::chrono::steady_clock::now() + s_lockPatience;
    int liveLooks = 0;
    for (;;) {
        if (!allowed(TKTBIoCall::Lock, path)) {
            return false;
        }
        if (::flock(file, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            return false;
        }
        const pid_t holder = flockHolder(file);
        if ((holder > 0 && !leaving(holder) && ++liveLooks >= s_liveLooks)
            || std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string ktbAbsolutePath(const char* path)
{
    if (path[0] == '/') {
        return path;
    }
    char folder[4096];
    if (::getcwd(folder, sizeof folder) == nullptr) {
        return path;
    }
    const std::string base = folder;
    return base + (base.back() == '/' ? "" : "/") + path;
}
