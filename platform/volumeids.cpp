#include "platform/volumeids.h"

#include "platform/medium.h"

#include <blkid/blkid.h>
#include <cstdlib>
#include <dirent.h>
#include <memory>

namespace {

bool parseHex(const std::string& text, std::uint32_t& value)
{
    if (text.empty() || text.size() > 8) {
        return false;
    }
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text.c_str(), &end, 16);
    if (*end != '\0' || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

// "ABCD-1234"
bool fatSerial(const std::string& uuid, std::uint32_t& serial)
{
    return uuid.size() == 9 && uuid[4] == '-' && parseHex(uuid.substr(0, 4) + uuid.substr(5), serial);
}

// "1C2A4F6B2A4F4330": the 64-bit serial, of which the NT family reports the low half.
bool ntfsSerial(const std::string& uuid, std::uint32_t& serial)
{
    std::uint32_t high = 0;
    return uuid.size() == 16 && parseHex(uuid.substr(0, 8), high) && parseHex(uuid.substr(8), serial);
}

// The name of the link in folder that leads to the device, or "".
std::string linkNameFor(const std::string& folder, const std::string& device)
{
    std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(folder.c_str()), ::closedir);
    if (directory == nullptr) {
        return "";
    }
    while (const dirent* item = ::readdir(directory.get())) {
        const std::string name = item->d_name;
        if (name != "." && name != ".." && absolutePath(folder + "/" + name) == device) {
            return name;
        }
    }
    return "";
}

} // namespace

bool probeWithBlkid(const std::string& device, BlockVolume& volume)
{
    volume = BlockVolume();
    blkid_probe probe = blkid_new_probe_from_filename(device.c_str());
    if (probe == nullptr) {
        return false;
    }
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(
        probe, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE | BLKID_SUBLKS_USAGE);
    const bool found = blkid_do_safeprobe(probe) == 0;
    if (found) {
        const auto value = [probe](const char* name) {
            const char* data = nullptr;
            std::size_t length = 0;
            if (blkid_probe_lookup_value(probe, name, &data, &length) != 0 || data == nullptr) {
                return std::string();
            }
            std::string text(data, length);
            while (!text.empty() && text.back() == '\0') {
                text.pop_back();
            }
            return text;
        };
        volume.Type = value("TYPE");
        volume.Label = value("LABEL");
        volume.Uuid = value("UUID");
        volume.Usage = value("USAGE");
    }
    blkid_free_probe(probe);
    return found;
}

bool probeBlockVolume(const std::string& device, BlockVolume& volume)
{
    volume = BlockVolume();
    if (probeWithBlkid(device, volume)) {
        return true;
    }
    const std::string real = absolutePath(device);
    if (real.empty()) {
        return false;
    }
    volume.Uuid = linkNameFor("/dev/disk/by-uuid", real);
    volume.Label = decodeUdevName(linkNameFor("/dev/disk/by-label", real));
    return !volume.Uuid.empty() || !volume.Label.empty();
}

std::string decodeUdevName(const std::string& name)
{
    std::string out;
    for (std::size_t index = 0; index < name.size(); ++index) {
        std::uint32_t code = 0;
        if (name.compare(index, 2, "\\x") == 0 && index + 3 < name.size()
            && parseHex(name.substr(index + 2, 2), code)) {
            out += static_cast<char>(code);
            index += 3;
            continue;
        }
        out += name[index];
    }
    return out;
}

bool ntSerialFromVolumeId(const std::string& type, const std::string& uuid, std::uint32_t& serial)
{
    if (type == "vfat" || type == "msdos" || type == "exfat") {
        return fatSerial(uuid, serial);
    }
    if (type == "ntfs" || type == "ntfs3") {
        return ntfsSerial(uuid, serial);
    }
    if (type.empty() || type == "fuseblk") {
        return fatSerial(uuid, serial) || ntfsSerial(uuid, serial);
    }
    return false;
}

std::uint32_t folderPathSerial(const std::string& folder)
{
    std::uint32_t hash = 2166136261U; // FNV-1a
    for (const char byte : folder) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 16777619U;
    }
    return hash != 0 ? hash : 1;
}
