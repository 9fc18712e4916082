#pragma once
// Which file system of a data disc gives its tree. A disc with a UDF file system is read through UDF,
// as Windows reads it, so that a catalog made here holds the names one made there holds; else through
// its ISO 9660 volume (Joliet, else Rock Ridge, else the primary's names). The label, the serial and
// the size of a disc with an ISO 9660 volume stay that volume's whichever tree is read, so catalogs
// made before know the disc again.

#include <cstdint>
#include <memory>
#include <string>

class Medium;
class SectorSource;

/// The volume on a data disc or image: its ISO 9660 volume from the session at sessionStart, read
/// through the UDF tree when the disc's volume recognition sequence names a UDF file system that can be
/// read; a UDF volume alone when there is no ISO 9660 volume. Null when neither can be read, with the
/// reason in problem when there is one.
std::shared_ptr<Medium> openDiscVolume(
    const std::shared_ptr<SectorSource>& source, std::uint32_t sessionStart, std::string& problem);

/// Whether the volume recognition sequence from sector 16 on holds an NSR descriptor: the disc has a UDF
/// file system.
bool hasUdfRecognition(SectorSource& source);
