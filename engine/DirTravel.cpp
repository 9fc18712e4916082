#include "engine/DirTravel.h"

#include <dirent.h>
#include <sys/stat.h>

namespace {

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

} // namespace

bool ktbMaskMatches(const std::string& mask, const std::string& name)
{
    if (mask == "*.*" || mask == "*") {
        return true;
    }
    std::size_t m = 0;
    std::size_t n = 0;
    std::size_t starMask = std::string::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || foldAscii(mask[m]) == foldAscii(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (starMask != std::string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') {
        ++m;
    }
    return m == mask.size();
}

namespace {

bool isDirectory(const std::string& folder, const dirent* entry)
{
    if (entry->d_type == DT_DIR) {
        return true;
    }
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) {
        return false;
    }
    struct stat status { };
    const std::string path = (folder.empty() ? std::string("./") : folder) + entry->d_name;
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

void ktbListFiles(const std::string& folder, const std::string& mask, std::vector<std::string>& list, bool withPath)
{
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/') {
        prefix += '/';
    }
    DIR* directory = ::opendir(prefix.empty() ? "." : prefix.c_str());
    if (directory == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !ktbMaskMatches(mask, name) || isDirectory(prefix, entry)) {
            continue;
        }
        list.push_back(withPath ? prefix + name : name);
    }
    ::closedir(directory);
}
