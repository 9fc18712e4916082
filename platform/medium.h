#pragma once
// What a drive finds in it: an ISO 9660 volume, an audio disc, or a folder (a folder drive, the mount
// point of a UDF disc). A drive opens its medium for every question, so a changed disc is seen at once
// and listings of one walk share what they read.

#include "platform/drivelayer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Medium {
public:
    virtual ~Medium() = default;
    /// The medium's label, NT report of its serial and size.
    virtual VolumeFacts facts() const = 0;
    /// Lists a folder ("" the top, "Music/Rock"); null when it cannot be listed.
    virtual std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) = 0;
};

/// Deepest folder level a walk enters. Deeper folders answer "cannot be listed", which keeps a looping
/// or absurdly deep tree from exhausting the walk's stack.
constexpr int MaxFolderDepth = 512;

/// Copies text into the entry's name, cut to 259 bytes without splitting a UTF-8 sequence.
void setEntryName(TKTBDirEntry& entry, const std::string& name);
/// Cuts text to at most maxBytes without splitting a UTF-8 sequence.
std::string cutUtf8(std::string text, std::size_t maxBytes);
/// Splits "Music/Rock" into its parts, skipping empty ones.
std::vector<std::string> splitRelativePath(const std::string& relativePath);
/// The absolute path with every link resolved; empty when the path does not exist.
std::string absolutePath(const std::string& path);
/// Compares names ignoring the letter case of a to z, as the origin's file systems do.
bool sameNameIgnoringCase(const std::string& a, const std::string& b);
