#pragma once
// What a drive finds in it: an ISO 9660 or UDF volume (or both: discvolume.h), an audio disc, or a
// folder (a folder drive, the mount point of a UDF disc our reader cannot read). A drive opens its
// medium for every question, so a changed disc is seen at once and listings of one walk share what they
// read.

#include "platform/drivelayer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class Medium {
public:
    virtual ~Medium() = default;
    /// The medium's label, NT report of its serial and size.
    virtual VolumeFacts facts() const = 0;
    /// Lists a folder ("" the top, "Music/Rock"); null when there is none, a failedListing when it cannot
    /// be read.
    virtual std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) = 0;
};

/// What the listings of one walk over a disc's directories share: the directories listed so far, and the
/// bytes of directories the walk may still read. A sound volume's directories lie apart and fit in the
/// volume together, so a walk that would read more than the volume holds has met a crafted or damaged
/// tree (directories claiming gigabytes, or overlapping ones), and fails instead of running for hours.
struct DirectoryWalk {
    std::unordered_set<std::uint64_t> Seen; ///< directories by where they start
    std::uint64_t BytesLeft = 0;

    /// Takes bytes from what is left; false, taking nothing, when there is not that much left.
    bool take(std::uint64_t bytes);
};

/// Why a directory cannot be listed, as the drive layer tells it.
namespace ListingProblem {
constexpr const char* DamagedRecord = "a damaged directory record";
constexpr const char* Unreadable = "its sectors cannot be read";
constexpr const char* ImpossibleSize = "its size is impossible";
constexpr const char* OverBudget = "the folders claim more directory bytes than the volume holds";
constexpr const char* TooDeep = "it lies deeper than any disc's folders";
constexpr const char* ListedAlready = "it is listed already in this walk (a loop or a cross-link)";
} // namespace ListingProblem

/// A listing that fails at once, telling why: what a medium answers for a top folder it cannot read.
std::unique_ptr<DriveFolderListing> failedListing(std::string problem);

/// Seconds since 1970-01-01 of a date and time of the proleptic Gregorian calendar; false for a date or
/// time that does not exist (30 February, hour 24).
bool civilTimeToUnix(std::int64_t year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second,
    std::int64_t& seconds);

/// Deepest folder level a walk enters. Deeper folders answer "cannot be listed", which keeps a looping
/// or absurdly deep tree from exhausting the walk's stack.
constexpr int MaxFolderDepth = 512;

/// Copies text into the entry's name, cut to its 259 characters (cutName).
void setEntryName(TKTBDirEntry& entry, const std::string& name);
/// Cuts a name to the 259 characters of a directory entry, counted as the origin does in UTF-16 code
/// units (a character beyond U+FFFF counts two); a byte that is no part of valid UTF-8 counts one.
/// Never splits a sequence.
std::string cutName(std::string name);
/// Splits "Music/Rock" into its parts, skipping empty ones.
std::vector<std::string> splitRelativePath(const std::string& relativePath);
/// The absolute path with every link resolved; empty when the path does not exist.
std::string absolutePath(const std::string& path);
/// Compares names ignoring the letter case of a to z, as the origin's file systems do.
bool sameNameIgnoringCase(const std::string& a, const std::string& b);
