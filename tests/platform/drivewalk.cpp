#include "tests/platform/drivewalk.h"

#include <algorithm>
#include <cstring>

namespace {

void walkListing(DriveFolderListing& listing, const std::string& prefix, std::size_t maxEntries, WalkResult& result)
{
    TKTBDirEntry entry {};
    while (result.Entries.size() < maxEntries && listing.next(entry)) {
        const std::string name(entry.Name, strnlen(entry.Name, sizeof entry.Name));
        const bool folder = (entry.Attributes & KTB_ATTR_DIRECTORY) != 0;
        result.Entries.push_back({ prefix + name, folder, entry.Size, entry.LastWriteTime });
        if ((entry.Attributes & KTB_ATTR_HIDDEN) != 0) {
            ++result.HiddenCount;
        }
        if (!folder) {
            continue;
        }
        std::unique_ptr<DriveFolderListing> sub = listing.openSubfolder(entry);
        if (sub == nullptr) {
            result.Complete = false;
            continue;
        }
        walkListing(*sub, prefix + name + "/", maxEntries, result);
    }
    if (listing.failed()) {
        result.Complete = false;
    }
}

bool byPath(const ListedEntry& a, const ListedEntry& b) { return a.Path < b.Path; }

} // namespace

void PrintTo(const ListedEntry& entry, std::ostream* out)
{
    *out << "{" << entry.Path << (entry.Folder ? "/" : "") << " size " << entry.Size << " time " << entry.Time << "}";
}

WalkResult walkDrive(Drive& drive, const std::string& relativePath, std::size_t maxEntries)
{
    return walkFolder(drive.openFolder(relativePath), maxEntries);
}

WalkResult walkFolder(std::unique_ptr<DriveFolderListing> top, std::size_t maxEntries)
{
    WalkResult result;
    if (top == nullptr) {
        result.Complete = false;
        return result;
    }
    walkListing(*top, "", maxEntries, result);
    std::sort(result.Entries.begin(), result.Entries.end(), byPath);
    return result;
}

std::vector<ListedEntry> listingOfTree(
    const std::vector<DiscTreeEntry>& tree, std::string (*rename)(const std::string&))
{
    std::vector<ListedEntry> listing;
    for (const DiscTreeEntry& item : tree) {
        const bool folder = item.Path.back() == '/';
        const std::string path = folder ? item.Path.substr(0, item.Path.size() - 1) : item.Path;
        std::string renamed;
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t end = path.find('/', start);
            end = end == std::string::npos ? path.size() : end;
            renamed += (start == 0 ? "" : "/") + rename(path.substr(start, end - start));
            start = end + 1;
        }
        listing.push_back({ renamed, folder, folder ? 0 : item.Size, item.Time });
    }
    std::sort(listing.begin(), listing.end(), byPath);
    return listing;
}

std::vector<ListedEntry> listingOfTree(const std::vector<DiscTreeEntry>& tree)
{
    return listingOfTree(tree, [](const std::string& name) { return name; });
}
