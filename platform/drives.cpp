// The drives themselves: optical devices, and images and folders named by a path. Each question opens
// the medium afresh, so a changed disc is seen at once and calls from two threads never share a handle.

#include "platform/audiomedium.h"
#include "platform/foldermedium.h"
#include "platform/isovolume.h"
#include "platform/mounttable.h"
#include "platform/sectorsource.h"
#include "platform/virtualdrives.h"
#include "platform/volumeids.h"

#include <algorithm>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace {

// A disc whose tracks hold no ISO 9660 volume is read where the system mounted it (a UDF DVD).
std::shared_ptr<Medium> mountedUdfMedium(CdioDisc& disc, const std::string& device)
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

// What a disc read through libcdio holds: the ISO 9660 volume of its last session (also on a CD-Extra or
// a mixed disc), else its audio tracks, else (devices only) the mounted UDF volume.
std::shared_ptr<Medium> discMedium(const std::shared_ptr<CdioDisc>& disc, const std::string& device)
{
    DiscToc toc;
    if (disc == nullptr || !disc->readToc(toc)) {
        return nullptr;
    }
    if (toc.hasDataTrack()) {
        if (std::shared_ptr<IsoVolume> volume = IsoVolume::open(disc, toc.LastSession)) {
            return volume;
        }
    }
    if (std::any_of(toc.Tracks.begin(), toc.Tracks.end(), [](const DiscTrack& track) { return track.Audio; })) {
        return std::make_shared<AudioMedium>(std::move(toc));
    }
    return device.empty() ? nullptr : mountedUdfMedium(*disc, device);
}

bool firstTrackIsAudio(const std::shared_ptr<CdioDisc>& disc, bool& audio)
{
    DiscToc toc;
    if (disc == nullptr || !disc->readToc(toc)) {
        return false;
    }
    audio = toc.Tracks.front().Audio;
    return true;
}

bool isCueSheet(const std::string& path)
{
    if (path.size() < 4) {
        return false;
    }
    std::string extension = path.substr(path.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
        [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return extension == ".cue";
}

// The answers every drive gives from its medium.
class MediumDrive : public Drive {
public:
    bool volumeFacts(VolumeFacts& facts) override
    {
        const std::shared_ptr<Medium> medium = openMedium();
        facts = medium != nullptr ? medium->facts() : VolumeFacts();
        return facts.NtSerial != 0;
    }

    std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) override
    {
        const std::shared_ptr<Medium> medium = openMedium();
        return medium != nullptr ? medium->openFolder(relativePath) : nullptr;
    }

protected:
    virtual std::shared_ptr<Medium> openMedium() = 0;
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
    std::shared_ptr<Medium> openMedium() override
    {
        if (!deviceHasDisc(m_device)) {
            return nullptr;
        }
        return discMedium(CdioDisc::openDevice(m_device), m_device);
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
        if (S_ISREG(status.st_mode) && isCueSheet(m_path)) {
            return firstTrackIsAudio(CdioDisc::openCue(m_path), audio);
        }
        return true; // an image or folder holds data
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
    std::shared_ptr<Medium> openMedium() override
    {
        struct stat status { };
        if (::stat(m_path.c_str(), &status) != 0) {
            return nullptr;
        }
        if (S_ISDIR(status.st_mode)) {
            return FolderMedium::open(m_path);
        }
        if (isCueSheet(m_path)) {
            return discMedium(CdioDisc::openCue(m_path), "");
        }
        return IsoVolume::open(openSectorImage(m_path), 0);
    }

    std::string m_path;
};

} // namespace

std::unique_ptr<Drive> openPathDrive(const std::string& path) { return std::make_unique<PathDrive>(path); }

std::unique_ptr<Drive> openOpticalDrive(const std::string& device) { return std::make_unique<OpticalDrive>(device); }
