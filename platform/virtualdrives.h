#pragma once
// The system's drive table: the optical drives lettered from D in device order, then the virtual drives
// of "vdrives.lst" in the config folder, one a line ("M=/home/anna/isos/disc1.iso"), each an image or a
// folder going through the same drive layer. The file is read again whenever it changed.

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

class SystemDriveTable final : public DriveTable {
public:
    /// listDevices answers the optical device nodes in device order (tests give their own).
    explicit SystemDriveTable(std::function<std::vector<std::string>()> listDevices = opticalDeviceList());
    ~SystemDriveTable() override;

    /// The letters; looks for plugged-in optical drives and a changed "vdrives.lst" first.
    std::vector<char> letters() override;
    /// The drive; looks for a changed "vdrives.lst" first.
    Drive* drive(char letter) override;
    /// Looks for plugged-in optical drives and a changed "vdrives.lst" first.
    std::uint64_t revision() override;

    /// libcdio's optical drives.
    static std::function<std::vector<std::string>()> opticalDeviceList();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

/// A drive over an optical device node: a disc present by CDROM_DRIVE_STATUS, read through libcdio.
std::unique_ptr<Drive> openOpticalDrive(const std::string& device);
