#include "platform/configfolder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex s_mutex;
std::string s_override;

std::string withSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

void makeFolders(const std::string& folder)
{
    for (std::size_t at = 1; at < folder.size(); ++at) {
        if (folder[at] == '/') {
            ::mkdir(folder.substr(0, at).c_str(), 0755);
        }
    }
}

bool exists(const std::string& path)
{
    struct stat status { };
    return ::stat(path.c_str(), &status) == 0;
}

bool isBuildTree(std::string folder)
{
    while (!folder.empty()) {
        if (exists(withSlash(folder) + "CMakeCache.txt")) {
            return true;
        }
        while (!folder.empty() && folder.back() == '/') {
            folder.pop_back();
        }
        const std::size_t slash = folder.rfind('/');
        if (slash == std::string::npos) {
            break;
        }
        folder.erase(slash);
    }
    return false;
}

bool isSystemProgramFolder(const std::string& folder)
{
    for (const char* system : { "/usr/", "/bin/", "/sbin/" }) {
        if (withSlash(folder).rfind(system, 0) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

bool keepsConfigBeside(const std::string& folder)
{
    if (folder.empty() || ::access(folder.c_str(), W_OK) != 0 || isSystemProgramFolder(folder)) {
        return false;
    }
    return exists(withSlash(folder) + "Settings.ini") || isBuildTree(folder);
}

std::string executableFolder()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return "./";
    }
    std::string path(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string configFolder()
{
    {
        std::lock_guard lock(s_mutex);
        if (!s_override.empty()) {
            return s_override;
        }
    }
    const std::string beside = executableFolder();
    if (keepsConfigBeside(beside)) {
        return beside;
    }
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = withSlash(xdg);
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = withSlash(home) + ".config/";
    } else {
        base = "/tmp/";
    }
    const std::string folder = base + "katalox/";
    makeFolders(folder);
    return folder;
}

void setConfigFolder(const std::string& folder)
{
    std::lock_guard lock(s_mutex);
    s_override = withSlash(folder);
}
