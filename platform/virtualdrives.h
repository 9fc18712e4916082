#pragma once
// The system's drive table: the optical drives lettered from D in device order, then the virtual drives
// of "vdrives.lst" in the config folder, one a line ("M=/home/anna/isos/disc1.iso"), each an image or a
// folder going through the same drive layer, then the file systems of removable and external drives
// with the next free letters after the optical drives. The file is read again whenever it changed.

#include "platform/blockdevices.h"
#include "platform/drivelayer.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// One line of "vdrives.lst".
struct VirtualDriveLine {
    char Letter = 0;
    std::string Path;
};

/// Splits a list file into lines: CR LF, a lone CR and a lone LF each end a line; a last line without
/// line end is still read.
std::vector<std::string> splitListLines(std::string_view text);
/// The drives of "vdrives.lst": a letter (a..z taken as A..Z), "=", and the path of an image or folder,
/// blanks around them ignored; a relative path counts from baseFolder. Lines that are not of this form are
/// skipped; a letter named twice keeps its first line.
std::vector<VirtualDriveLine> parseVirtualDrives(std::string_view text, const std::string& baseFolder);

/// The path of "vdrives.lst" in the config folder.
std::string virtualDriveListPath();

/// The first letter from D to Z that is neither in taken nor named by a line of the list text (also a
/// line the drive table ignores, so an added line never collides with one the user wrote); 0 when none
/// is left.
char firstFreeVirtualLetter(std::string_view listText, const std::vector<char>& taken);
/// The list text with the line "letter=path" added at its end; a last line without its line end gets
/// one first, and every other byte of the text stays.
std::string withVirtualDriveLine(std::string_view listText, char letter, const std::string& path);
/// The list text without the lines that name the letter (a..z taken as A..Z); every other line stays as
/// it is, with its own line end.
std::string withoutVirtualDriveLines(std::string_view listText, char letter);

/// How a change of "vdrives.lst" ended.
enum class VirtualDriveChange {
    Done,
    NoFreeLetter, ///< D to Z are all taken
    BadPath, ///< not an absolute path, or one with a line break (it cannot be one line of the list)
    NotWritten, ///< the list could not be read or replaced; it is as it was
};

/// Adds a virtual drive for the image or folder at path to "vdrives.lst" with the first free letter
/// (firstFreeVirtualLetter), which it answers in letter. The list is replaced in one rename.
VirtualDriveChange addVirtualDrive(const std::string& path, const std::vector<char>& taken, char& letter);
/// Removes the lines of the letter from "vdrives.lst" (Done also when there was none).
VirtualDriveChange removeVirtualDrive(char letter);
/// The lines of "vdrives.lst" as parseVirtualDrives reads them (none when it is missing or unreadable).
std::vector<VirtualDriveLine> readVirtualDrives();

class SystemDriveTable final : public DriveTable {
public:
    /// listDevices answers the optical device nodes in device order, blockDevices the block devices whose
    /// removable file systems become drives (tests give their own; null: none).
    explicit SystemDriveTable(std::function<std::vector<std::string>()> listDevices = opticalDeviceList(),
        std::shared_ptr<BlockDeviceSource> blockDevices = systemBlockDevices());
    ~SystemDriveTable() override;

    /// The letters; looks for plugged-in optical drives, removable drives and a changed "vdrives.lst"
    /// first.
    std::vector<char> letters() override;
    /// The drive; looks for a changed "vdrives.lst" first.
    Drive* drive(char letter) override;
    /// Looks for plugged-in optical drives, removable drives and a changed "vdrives.lst" first.
    std::uint64_t revision() override;
    void devicesChanged() override;

    /// libcdio's optical drives.
    static std::function<std::vector<std::string>()> opticalDeviceList();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

/// A drive over an optical device node: a disc present by CDROM_DRIVE_STATUS, read through libcdio.
std::unique_ptr<Drive> openOpticalDrive(const std::string& device);
