#pragma once
// The drive layer: everything the program asks of optical drives and of the media in them. One
// interface, two uses: the system's table (optical drives from D, then the virtual drives of
// "vdrives.lst") and tables of test drives that tests build from images and folders.

#include "engine/ktbdef.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// What a medium tells about itself.
struct VolumeFacts {
    std::string Label; ///< UTF-8, trailing blanks removed; "Audio CD" for an audio disc
    /// The serial as the origin's NT family reports it for this medium; 0 when there is no readable
    /// medium. The catalog stores it byte-reversed.
    std::uint32_t NtSerial = 0;
    std::int64_t TotalBytes = 0; ///< the volume's size
};

/// An open listing of one folder of a medium.
class DriveFolderListing {
public:
    virtual ~DriveFolderListing() = default;
    /// The next entry ("." and ".." never appear); false at the end.
    virtual bool next(TKTBDirEntry& entry) = 0;
    /// Opens the listing of a sub-folder that this listing delivered; null when it cannot be listed.
    virtual std::unique_ptr<DriveFolderListing> openSubfolder(const TKTBDirEntry& entry) = 0;
};

/// One drive: an optical device, an image (.iso, .cue) or a folder standing in for a disc.
class Drive {
public:
    virtual ~Drive() = default;
    /// False when no readable medium is present (facts then hold serial 0).
    virtual bool volumeFacts(VolumeFacts& facts) = 0;
    /// True when the drive answered; audio tells whether track 1 is an audio track.
    virtual bool isAudio(bool& audio) = 0;
    /// Opens or closes the tray; silent on failure, nothing for images and folders.
    virtual void setDoor(bool open) = 0;
    /// Lists a folder of the medium, relative to its top ("" is the top, "Music/Rock" below it);
    /// null when it cannot be listed.
    virtual std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) = 0;
    /// Whether the drive is an optical device (a media event source), not an image or a folder.
    virtual bool isDevice() const = 0;
    /// The device node, image or folder path behind the drive.
    virtual std::string source() const = 0;
};

/// Letters to drives.
class DriveTable {
public:
    virtual ~DriveTable() = default;
    /// The letters of the drives, in letter order.
    virtual std::vector<char> letters() = 0;
    /// The drive with this letter, or null.
    virtual Drive* drive(char letter) = 0;
};

/// The table in use: the system's unless a test installed its own.
DriveTable& driveTable();
/// Installs a table (tests, `ktb record`); null restores the system's table.
void setDriveTable(std::unique_ptr<DriveTable> table);

/// Splits a walk path "D:\Music\Rock\" into its letter and the relative path "Music/Rock";
/// false when it does not start with a letter, ":" and "\".
bool splitDrivePath(const std::string& path, char& letter, std::string& relativePath);
