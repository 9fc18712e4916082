#pragma once
// The drive layer: everything the program asks of optical drives and of the media in them. One
// interface, two uses: the system's table (optical drives from D, then the virtual drives of
// "vdrives.lst") and tables of test drives that tests build from images and folders.

#include "platform/direntry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/// The room of a mounted file system, as statvfs counts it (blocks and free blocks, in fragments).
struct FileSystemSpace {
    std::int64_t Size = 0; ///< bytes the file system holds
    std::int64_t Used = 0; ///< bytes in use: the size less the free blocks
};

/// What a medium tells about itself.
struct VolumeFacts {
    std::string Label; ///< UTF-8, trailing blanks removed; "Audio CD" for an audio disc
    /// The serial as the origin's NT family reports it for this medium; 0 when there is no readable
    /// medium. The catalog stores it byte-reversed.
    std::uint32_t NtSerial = 0;
    std::int64_t TotalBytes = 0; ///< the volume's size
    /// Why there is no readable medium, when the drive knows ("disc.bin, named by the sheet, is
    /// missing"); empty otherwise.
    std::string Problem;
    /// For a mounted file system of its own (a removable drive, a folder that is the root of a mount):
    /// its size and used bytes, which a recording takes as the disc's Capacity and Used instead of the
    /// bytes it walked. Unset for discs, images and other folders.
    std::optional<FileSystemSpace> Space;
};

/// An open listing of one folder of a medium.
class DriveFolderListing {
public:
    virtual ~DriveFolderListing() = default;
    /// The next entry ("." and ".." never appear); false at the end, and at damage that keeps the rest of
    /// the folder from being read (failed() then tells).
    virtual bool next(TKTBDirEntry& entry) = 0;
    /// Opens the listing of a sub-folder that this listing delivered; null when it cannot be listed.
    virtual std::unique_ptr<DriveFolderListing> openSubfolder(const TKTBDirEntry& entry) = 0;
    /// Whether next() answered false at damage rather than at the folder's end: the folder cannot be
    /// listed whole.
    virtual bool failed() const { return false; }
    /// Why the listing failed, or why the last openSubfolder answered null ("a damaged directory
    /// record"); empty when nothing failed or the reason is not known.
    virtual std::string problem() const { return {}; }
};

/// What a removable or external drive is now, beyond its medium: what lists show of it and what
/// mounting it through UDisks2 needs.
struct RemovableDriveState {
    std::string Node; ///< "/dev/sdb1"
    std::string KernelName; ///< "sdb1": UDisks2 names the block device /org/freedesktop/UDisks2/block_devices/sdb1
    std::string FileSystem; ///< "vfat", "exfat", "ntfs", "ext4"
    std::string Label; ///< the file system's label, UTF-8; may be empty
    std::string Description; ///< vendor and model of the device ("SanDisk Cruzer Blade"); may be empty
    std::uint64_t Size = 0; ///< bytes of the partition or disk holding the file system
    bool Mounted = false;
    std::string MountPoint; ///< where it is mounted (the topmost mount when there are several)
};

/// One drive: an optical device, a disc image or a folder standing in for a disc, or a removable drive.
class Drive {
public:
    virtual ~Drive() = default;
    /// False when no readable medium is present (facts then hold serial 0).
    virtual bool volumeFacts(VolumeFacts& facts) = 0;
    /// True when the drive answered; audio tells whether track 1 is an audio track.
    virtual bool isAudio(bool& audio) = 0;
    /// Opens or closes the tray; silent on failure, nothing for images and folders.
    virtual void setDoor(bool open) = 0;
    /// Lists a folder of the medium, relative to its top ("" is the top, "Music/Rock" below it); null
    /// when it cannot be listed, or a listing that fails at once telling why (a damaged top folder).
    virtual std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) = 0;
    /// Whether the drive is an optical device (a media event source), not an image or a folder.
    virtual bool isDevice() const = 0;
    /// The device node, image or folder path behind the drive.
    virtual std::string source() const = 0;
    /// Whether a medium is in the drive, asked cheaply (the device's status, the path's existence, a
    /// removable drive's mount) without reading the medium; media-event polling uses it.
    virtual bool mediumPresent()
    {
        VolumeFacts facts;
        return volumeFacts(facts);
    }
    /// The room of the medium's file system now, for a medium that has one of its own (VolumeFacts::Space);
    /// false otherwise. Asked once more when a recording ends.
    virtual bool fileSystemSpace(FileSystemSpace& space)
    {
        (void)space;
        return false;
    }
    /// For a removable or external drive (a USB stick, a memory card, an external disk): true and what it
    /// is now, mounted or not. False for optical drives, images and folders.
    virtual bool removableState(RemovableDriveState& state)
    {
        (void)state;
        return false;
    }
};

/// Letters to drives.
class DriveTable {
public:
    virtual ~DriveTable() = default;
    /// The letters of the drives, in letter order.
    virtual std::vector<char> letters() = 0;
    /// The drive with this letter, or null. The drive stays valid as long as the table, even when a
    /// changed "vdrives.lst" takes its letter away.
    virtual Drive* drive(char letter) = 0;
    /// Changes whenever drives were added or removed (a changed "vdrives.lst", an optical drive plugged
    /// in), so windows that list drives know to refill.
    virtual std::uint64_t revision() { return 0; }
    /// Tells the table that block devices may have come or gone, so that its next answer lists them
    /// afresh (a media-event monitor calls it when its own watch saw a change).
    virtual void devicesChanged() { }
};

/// A drive over an image or a folder. By the extension, in any letter case: ".cue" sheets, CloneCD
/// ".ccd" files, Nero ".nrg" and cdrdao ".toc" images are read by our own parsers, each like a real disc
/// with its tracks; an ".img" with a ".ccd" of its name beside it is that CloneCD image;
/// any other file is an image of 2048-byte sectors, or of raw 2352-byte sectors when its size and sync
/// pattern say so (a ".bin" without its sheet). An image holds an ISO 9660 volume, else a UDF volume. A
/// folder is a folder. What the path is gets decided at each question, so the medium is present exactly
/// while the path exists. The tray operations do nothing.
std::unique_ptr<Drive> openPathDrive(const std::string& path);

/// A table of drives each backed by an image or a folder: the test seam, and `ktb record DIR`. It goes
/// through exactly the reader code of the system's table.
class PathDriveTable final : public DriveTable {
public:
    PathDriveTable();
    ~PathDriveTable() override;
    /// Gives the letter (a..z taken as A..Z) a drive over path; false for anything but a letter. A
    /// drive replaced this way stays valid as long as the table.
    bool setDrive(char letter, const std::string& path);
    std::vector<char> letters() override;
    Drive* drive(char letter) override;
    std::uint64_t revision() override;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

/// The table in use: the system's unless a test installed its own.
DriveTable& driveTable();
/// Installs a table (tests, `ktb record`); null restores the system's table.
void setDriveTable(std::unique_ptr<DriveTable> table);

/// Splits a walk path "D:\Music\Rock\" into its letter and the relative path "Music/Rock";
/// false when it does not start with a letter, ":" and "\".
bool splitDrivePath(const std::string& path, char& letter, std::string& relativePath);
