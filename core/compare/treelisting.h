#pragma once
// The folders and files of one side of a comparison, each with its path in the disc: from a walk of a
// catalog's disc or fileset, or from a folder, disc image or drive walked with the recording's rules
// and taken as a catalog would hold it (sizes modulo 2^32, packed DOS dates at two seconds).

#include "platform/drivelayer.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CatalogWalk;
struct WalkRecord;

struct TreeEntry {
    std::string name; ///< as recorded (catalog bytes or the file system's UTF-8)
    bool folder = false;
    std::uint32_t size = 0;
    std::uint32_t dateTime = 0; ///< packed DOS date-time
    std::size_t nextAtPath = SIZE_MAX; ///< the next entry of the same path (TreeListing::None: the last)
};

/// The folders and files of one side, by path: a tree of the paths the search takes for different
/// (foldedName), each with the entries listed at it. Nothing holds a whole path, so the memory grows with
/// the entries, not with their depth.
class TreeListing {
public:
    static constexpr std::size_t None = SIZE_MAX;
    using Children = std::map<std::string, std::size_t, std::less<>>;
    /// A path: its entries in the order they were listed, and the paths one name longer, by their folded
    /// last names (their places in nodes()).
    struct Node {
        Children children;
        std::size_t firstEntry = None;
        std::size_t lastEntry = None;
    };

    /// Takes a folder or file record of a catalog walk (other records are passed over); the first
    /// skippedNames names of its chain are left out of the path (1 for a disc compared on its own: its
    /// title).
    void addRecord(const WalkRecord& record, std::size_t skippedNames);
    /// Adds a folder or file below the folders names. Entries come in the order of a walk: depth first,
    /// a folder before what it holds.
    void add(std::span<const std::string> folders, std::string_view name, bool folder, std::uint32_t size,
        std::uint32_t dateTime);

    const std::vector<TreeEntry>& entries() const { return m_entries; }
    /// The paths; the first is the top, the path of no names.
    const std::vector<Node>& nodes() const { return m_nodes; }
    std::size_t size() const { return m_entries.size(); }

private:
    /// The path one name longer than the path at place parent, made when missing.
    std::size_t child(std::size_t parent, std::string_view folded);

    std::vector<TreeEntry> m_entries;
    std::vector<Node> m_nodes = std::vector<Node>(1);
    /// The paths of the folders that hold the last entry added, and of that entry when it is a folder:
    /// a walk's next entry is below one of them.
    struct OpenFolder {
        std::size_t node;
        std::string folded; ///< its last name
    };
    std::vector<OpenFolder> m_open;
};

/// How a walk of a folder, image or drive ended.
struct DriveWalkResult {
    bool complete = false;
    QString failure; ///< why it did not end, for the user; empty when complete or stopped
};

/// One file or folder met by walkDrive: the names of the folders that hold it (top first), and the entry
/// as a catalog would record it.
struct DriveItem {
    std::span<const std::string> folders;
    std::string_view name;
    bool folder = false;
    std::uint32_t size = 0; ///< the size modulo 2^32
    std::uint64_t fullSize = 0; ///< the size in the file system
    std::uint32_t dateTime = 0; ///< the last change as a packed local DOS date-time
};

/// Walks everything below the drive's top folder with the recording's rules (ktbWalkDriveFolder),
/// calling visit for every folder and file; shownName names the drive in a failure. An empty drive is
/// walked whole (it holds nothing). Stops, incomplete without a failure, once stopRequested answers true.
DriveWalkResult walkDrive(Drive& drive, const QString& shownName, const std::function<void(const DriveItem&)>& visit,
    const std::function<bool()>& stopRequested);

/// Calls walk.onProgress with the number of entries met and a total of 0 (the end is not known), a few
/// times a second: the progress of a folder walked before the catalogs.
class EntryProgress {
public:
    explicit EntryProgress(const CatalogWalk& walk)
        : m_walk(walk)
    {
    }
    void count();

private:
    const CatalogWalk& m_walk;
    std::uint64_t m_entries = 0;
    std::int64_t m_nextMilliseconds = 0;
};

/// The drive of a location: a drive letter ("D:") of the drive table, else a folder or disc image
/// (openPathDrive).
struct LocationDrive {
    std::unique_ptr<Drive> owned; ///< the drive over a folder or image
    Drive* drive = nullptr; ///< null when the location names nothing
    QString failure; ///< why drive is null
};
LocationDrive openLocation(const QString& location);
