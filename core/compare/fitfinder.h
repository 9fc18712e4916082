#pragma once
// Where does it fit: the free room of the media of chosen filesets (capacity less used, as last
// scanned), the media whose room holds an amount of bytes, smallest sufficient first, and a plan of a
// folder's top-level entries onto new media of one size (first fit decreasing).

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class CompanionCatalogs;
struct WalkTarget;

/// One medium with its room as last scanned.
struct MediumRoom {
    int catalog = -1;
    std::uint32_t offset = 0; ///< the disc record's
    QString title;
    QString path; ///< the tree's path of the disc: "Owner\Fileset\Disc\"
    std::uint32_t serial = 0;
    std::uint32_t scanTime = 0; ///< packed DOS date-time
    std::int64_t capacity = 0;
    std::int64_t used = 0;

    /// Capacity less used; 0 when used is larger.
    std::uint64_t free() const { return capacity > used ? static_cast<std::uint64_t>(capacity - used) : 0; }
};

/// The media of the targets (whole catalogs, or their chosen discs), read from the disc records alone. A
/// disc without a serial number (a symbolic entry: no medium was read) is left out; of discs with the
/// same serial number the latest scanned stands for the medium. What cannot be read is named in faults.
/// In target order, then in file order.
std::vector<MediumRoom> readMediaRoom(
    const CompanionCatalogs& catalogs, const std::vector<WalkTarget>& targets, QStringList& faults);

/// The media whose free room holds bytes, the smallest sufficient room first (equal rooms in the order
/// given).
std::vector<MediumRoom> mediaThatHold(const std::vector<MediumRoom>& media, std::uint64_t bytes);

/// A top-level entry of a local folder and the bytes of the files it holds (itself, for a file).
struct FolderEntryBytes {
    std::string name; ///< as the file system gives it (UTF-8)
    bool folder = false;
    std::uint64_t bytes = 0;
    std::uint64_t files = 0;
};

struct FolderMeasure {
    std::vector<FolderEntryBytes> entries; ///< in the order the walk met them
    std::uint64_t bytes = 0;
    std::uint64_t files = 0;
    bool complete = false;
    QString failure; ///< why the walk did not end, for the user; empty when complete or stopped
};

/// Walks a folder or disc image as a recording reads it and adds up the sizes of its files (in full, not
/// modulo 2^32), per top-level entry. Stops, incomplete, once stop is set.
FolderMeasure measureFolder(const QString& location, const std::atomic_bool* stop = nullptr);

/// One new medium of a plan.
struct PlannedMedium {
    std::vector<std::size_t> entries; ///< indexes into the entries planned, largest first
    std::uint64_t bytes = 0;
};

struct MediaPlan {
    std::uint64_t mediumSize = 0;
    std::vector<PlannedMedium> media;
    std::vector<std::size_t> tooLarge; ///< entries larger than a medium, largest first
};

/// Plans the entries onto new media of mediumSize bytes by first fit decreasing: the largest entry first,
/// each onto the first medium with room for it, else onto a new one. An entry larger than a medium goes
/// onto none and is named in tooLarge; empty entries go with the first medium.
MediaPlan planNewMedia(const std::vector<FolderEntryBytes>& entries, std::uint64_t mediumSize);

/// An amount of bytes as people write it: "123456", "700M", "4.7G", "25GB", "cd"... K, M, G and T are
/// powers of 1024 (KiB to TiB, also so written), KB, MB, GB and TB powers of 1000; letter case does not
/// matter and a fraction is allowed ("4.5G"). The names of media stand for their size: "cd" (700 MiB),
/// "dvd" (4,707,319,808 bytes), "dvd-dl" (8,543,666,176), "bd" (25,025,314,816), "bd-dl"
/// (50,050,629,632). False for anything else, for 0, and beyond 2^63.
bool parseByteAmount(const QString& text, std::uint64_t& bytes);
