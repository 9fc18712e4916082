#pragma once
// Who a volume is: label, file system and serial of a block device (libblkid), the NT family's serial
// of FAT, exFAT and NTFS volumes, and the stand-in serial of a plain folder. (The serial of UDF discs
// comes from udfvolume.h.)

#include <cstdint>
#include <string>

/// What libblkid knows about a volume.
struct BlockVolume {
    std::string Type; ///< "vfat", "exfat", "ntfs", "udf"; empty when only the udev links were found
    std::string Label;
    std::string Uuid;
    std::string Usage; ///< "filesystem", "crypto", "raid", "other"; empty when only the udev links were found
};

/// Probes a block device, or an image file, with libblkid alone; false when it cannot be read or holds
/// no volume libblkid knows.
bool probeWithBlkid(const std::string& device, BlockVolume& volume);
/// Probes a block device with libblkid; without read access to the device, falls back on the udev
/// links in /dev/disk/by-uuid and /dev/disk/by-label. False when nothing is known.
bool probeBlockVolume(const std::string& device, BlockVolume& volume);
/// The NT report of a volume's serial from its file system and UUID: FAT and exFAT "ABCD-1234" is
/// 0xABCD1234, NTFS's 16 hex digits give their low 32 bits. False for other file systems. An unknown
/// type (a FUSE mount) is judged by the form of the UUID.
bool ntSerialFromVolumeId(const std::string& type, const std::string& uuid, std::uint32_t& serial);
/// A name as udev encodes it in links and ID_FS_LABEL_ENC ("My\x20Stick" is "My Stick").
std::string decodeUdevName(const std::string& name);
/// A stable, non-zero serial for a folder that is no volume of its own: a hash of its absolute path
/// (folder).
std::uint32_t folderPathSerial(const std::string& folder);
