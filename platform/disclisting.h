#pragma once
// What the listings of the disc readers (ISO 9660, UDF) share: the walk they belong to and their depth
// in it, the sub-folders a listing delivered with where they lie, and why the listing or a sub-folder
// failed. A reader's listing derives from DiscListing<itself, where a directory lies> and gives
//     static std::uint64_t walkKey(const Location&);      // one number a directory, for DirectoryWalk::Seen
//     std::unique_ptr<Derived> openAt(const Location&, std::string& problem); // one level deeper

#include "platform/medium.h"

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

template <typename Derived, typename Location> class DiscListing : public DriveFolderListing {
public:
    std::unique_ptr<DriveFolderListing> openSubfolder(const TKTBDirEntry& entry) override
    {
        const std::string name(entry.Name, strnlen(entry.Name, sizeof entry.Name));
        for (auto at = m_subfolders.rbegin(); at != m_subfolders.rend(); ++at) {
            if (at->first == name) {
                return openLocation(at->second);
            }
        }
        return nullptr;
    }

    bool failed() const override { return m_failed; }
    std::string problem() const override { return m_problem; }

    /// Lists the rest of this folder and opens the sub-folder of that name (exact letter case first).
    std::unique_ptr<Derived> openNamedSubfolder(const std::string& name)
    {
        TKTBDirEntry entry {};
        while (next(entry)) { }
        if (m_failed) {
            return nullptr;
        }
        for (const bool exact : { true, false }) {
            for (const auto& [folderName, location] : m_subfolders) {
                if (exact ? folderName == name : sameNameIgnoringCase(folderName, name)) {
                    return openLocation(location);
                }
            }
        }
        return nullptr;
    }

protected:
    DiscListing(std::shared_ptr<DirectoryWalk> walk, int depth)
        : m_walk(std::move(walk))
        , m_depth(depth)
    {
    }

    /// The listing of the sub-folder at location; null, with the problem set, for a folder deeper than
    /// any disc's, one listed already in this walk (a loop, a cross-link), or one that cannot be read.
    std::unique_ptr<Derived> openLocation(const Location& location)
    {
        if (m_depth + 1 > MaxFolderDepth) {
            m_problem = ListingProblem::TooDeep;
            return nullptr;
        }
        if (!m_walk->Seen.insert(Derived::walkKey(location)).second) {
            m_problem = ListingProblem::ListedAlready;
            return nullptr;
        }
        return static_cast<Derived*>(this)->openAt(location, m_problem);
    }

    /// Ends the listing at damage; answers false.
    bool fail(const char* problem)
    {
        m_failed = true;
        m_problem = problem;
        return false;
    }

    /// Keeps where a sub-folder just delivered lies, for openSubfolder.
    void remember(const std::string& name, const Location& location) { m_subfolders.emplace_back(name, location); }

    std::shared_ptr<DirectoryWalk> m_walk;
    int m_depth;
    bool m_failed = false;
    std::string m_problem;

private:
    std::vector<std::pair<std::string, Location>> m_subfolders;
};

/// The folder at relativePath below a top listing (null when the top cannot be listed, problem then
/// telling why): null when there is no such folder, a failedListing when one on the way cannot be read.
template <typename Listing>
std::unique_ptr<DriveFolderListing> openListingPath(
    std::unique_ptr<Listing> listing, const std::string& relativePath, std::string problem)
{
    for (const std::string& part : splitRelativePath(relativePath)) {
        if (listing == nullptr) {
            break;
        }
        std::unique_ptr<Listing> sub = listing->openNamedSubfolder(part);
        problem = sub == nullptr ? listing->problem() : std::string();
        listing = std::move(sub);
    }
    if (listing == nullptr && !problem.empty()) {
        return failedListing(problem);
    }
    return listing;
}
