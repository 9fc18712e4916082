// The drives themselves: optical devices, and images and folders named by a path. Each question opens
// the medium afresh, so a changed disc is seen at once and calls from two threads never share a handle.

#include "platform/audiomedium.h"
#include "platform/cdrdaotoc.h"
#include "platform/clonecd.h"
#include "platform/cuesheet.h"
#include "platform/discvolume.h"
#include "platform/foldermedium.h"
#include "platform/mounttable.h"
#include "platform/nrgimage.h"
#include "platform/sectorsource.h"
#include "platform/udfvolume.h"
#include "platform/virtualdrives.h"
#include "platform/volumeids.h"

#include <algorithm>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace {

// A disc whose UDF volume our reader cannot read (one written packet by packet) is read where the system
// mounted it.
std::shared_ptr<Medium> mountedUdfMedium(SectorSource& disc, const std::string& device)
{
    struct stat status { };
    if (::stat(device.c_str(), &status) != 0 || !S_ISBLK(status.st_mode)) {
        return nullptr;
    }
    const std::vector<MountEntry> mounts = readMountTable();
    const MountEntry* mount = findDeviceMount(mounts, major(status.st_rdev), minor(status.st_rdev));
    VolumeFacts facts;
    if (mount == nullptr || !udfSerialReport(disc, facts.NtSerial)) {
        return nullptr;
    }
    BlockVolume volume;
    if (probeBlockVolume(device, volume)) {
        facts.Label = volume.Label;
    }
    struct statvfs space { };
    if (::statvfs(mount->MountPoint.c_str(), &space) == 0) {
        facts.TotalBytes = static_cast<std::int64_t>(space.f_blocks) * static_cast<std::int64_t>(space.f_frsize);
    }
    return std::make_shared<FolderMedium>(mount->MountPoint, std::move(facts));
}

// The volume on a data disc or image, read through the tree Windows reads (discvolume.h).
std::shared_ptr<Medium> volumeMedium(
    const std::shared_ptr<SectorSource>& source, std::uint32_t sessionStart, std::string& problem)
{
    return openDiscVolume(source, sessionStart, problem);
}

// What a disc with tracks holds: the volume of its last session (also on a CD-Extra or a mixed disc),
// else its audio tracks, else (devices only) the UDF volume where the system mounted it.
std::shared_ptr<Medium> discMedium(
    const std::shared_ptr<TrackSource>& disc, const std::string& device, std::string& problem)
{
    DiscToc toc;
    if (disc == nullptr || !disc->readToc(toc)) {
        return nullptr;
    }
    if (toc.hasDataTrack()) {
        if (std::shared_ptr<Medium> volume = volumeMedium(disc, toc.LastSession, problem)) {
            return volume;
        }
    }
    if (std::any_of(toc.Tracks.begin(), toc.Tracks.end(), [](const DiscTrack& track) { return track.Audio; })) {
        return std::make_shared<AudioMedium>(std::move(toc));
    }
    return device.empty() ? nullptr : mountedUdfMedium(*disc, device);
}

bool firstTrackIsAudio(const std::shared_ptr<TrackSource>& disc, bool& audio)
{
    DiscToc toc;
    if (disc == nullptr || !disc->readToc(toc)) {
        return false;
    }
    audio = toc.Tracks.front().Audio;
    return true;
}

std::string lowerExtension(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) {
        return {};
    }
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
        [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return extension;
}

// Opens an image of a whole CD with its tracks; null with tracks false for an image without tracks,
// null with a problem when it cannot be opened.
std::shared_ptr<TrackSource> openTrackImage(const std::string& path, bool& tracks, std::string& problem)
{
    const std::string extension = lowerExtension(path);
    tracks = true;
    if (extension == ".cue") {
        return openCueSheet(path, problem);
    }
    if (extension == ".ccd") {
        return openCloneCd(path, problem);
    }
    if (extension == ".nrg") {
        return openNrgImage(path, problem);
    }
    if (extension == ".toc") {
        return openCdrdaoToc(path, problem);
    }
    if (extension == ".img") {
        const std::string control = cloneCdControlOf(path);
        if (!control.empty()) {
            return openCloneCd(control, problem);
        }
    }
    tracks = false;
    return nullptr;
}

// The answers every drive gives from its medium.
class MediumDrive : public Drive {
public:
    bool volumeFacts(VolumeFacts& facts) override
    {
        std::string problem;
        const std::shared_ptr<Medium> medium = openMedium(problem);
        facts = medium != nullptr ? medium->facts() : VolumeFacts();
        if (medium == nullptr) {
            facts.Problem = problem;
        }
        return facts.NtSerial != 0;
    }

    std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) override
    {
        std::string problem;
        const std::shared_ptr<Medium> medium = openMedium(problem);
        return medium != nullptr ? medium->openFolder(relativePath) : nullptr;
    }

protected:
    /// The medium in the drive; null when there is none, with the reason in problem when known.
    virtual std::shared_ptr<Medium> openMedium(std::string& problem) = 0;
};

class OpticalDrive final : public MediumDrive {
public:
    explicit OpticalDrive(std::string device)
        : m_device(std::move(device))
    {
    }

    bool isAudio(bool& audio) override
    {
        audio = false;
        return deviceHasDisc(m_device) && firstTrackIsAudio(CdioDisc::openDevice(m_device), audio);
    }
    void setDoor(bool open) override { moveDeviceTray(m_device, open); }
    bool isDevice() const override { return true; }
    std::string source() const override { return m_device; }
    bool mediumPresent() override { return deviceHasDisc(m_device); }

private:
    std::shared_ptr<Medium> openMedium(std::string& problem) override
    {
        if (!deviceHasDisc(m_device)) {
            return nullptr;
        }
        return discMedium(CdioDisc::openDevice(m_device), m_device, problem);
    }

    std::string m_device;
};

class PathDrive final : public MediumDrive {
public:
    explicit PathDrive(std::string path)
        : m_path(std::move(path))
    {
    }

    bool isAudio(bool& audio) override
    {
        audio = false;
        struct stat status { };
        if (::stat(m_path.c_str(), &status) != 0) {
            return false;
        }
        bool tracks = false;
        std::string problem;
        const std::shared_ptr<TrackSource> disc
            = S_ISREG(status.st_mode) ? openTrackImage(m_path, tracks, problem) : nullptr;
        return tracks ? firstTrackIsAudio(disc, audio) : true; // an image without tracks or a folder holds data
    }
    void setDoor(bool) override { }
    bool isDevice() const override { return false; }
    std::string source() const override { return m_path; }
    bool mediumPresent() override
    {
        struct stat status { };
        return ::stat(m_path.c_str(), &status) == 0;
    }

private:
    std::shared_ptr<Medium> openMedium(std::string& problem) override
    {
        struct stat status { };
        if (::stat(m_path.c_str(), &status) != 0) {
            return nullptr;
        }
        if (S_ISDIR(status.st_mode)) {
            return FolderMedium::open(m_path);
        }
        bool tracks = false;
        const std::shared_ptr<TrackSource> disc = openTrackImage(m_path, tracks, problem);
        if (tracks) {
            return discMedium(disc, "", problem);
        }
        return volumeMedium(openSectorImage(m_path), 0, problem);
    }

    std::string m_path;
};

} // namespace

std::unique_ptr<Drive> openPathDrive(const std::string& path) { return std::make_unique<PathDrive>(path); }

std::unique_ptr<Drive> openOpticalDrive(const std::string& device) { return std::make_unique<OpticalDrive>(device); }
