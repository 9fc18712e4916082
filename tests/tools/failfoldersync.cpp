// Loaded into ktb by the tests (LD_PRELOAD) to play a disk that stops confirming its folders once a change
// has committed: after the program has removed a journal, every sync of a folder fails with EIO.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>

namespace {

std::atomic_bool s_committed { false };

template <typename Function> Function next(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int unlink(const char* path)
{
    static const auto real = next<int (*)(const char*)>("unlink");
    const std::size_t length = std::strlen(path);
    if (length >= 8 && std::strcmp(path + length - 8, "-journal") == 0) {
        s_committed = true;
    }
    return real(path);
}

extern "C" int fsync(int file)
{
    static const auto real = next<int (*)(int)>("fsync");
    struct stat status { };
    if (s_committed && ::fstat(file, &status) == 0 && S_ISDIR(status.st_mode)) {
        errno = EIO;
        return -1;
    }
    return real(file);
}
