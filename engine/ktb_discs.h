#pragma once
// Disc records: filling one from a drive, recording a drive's folder tree as a new disc, and the
// operations on whole discs (find by serial, read, update, delete, copy between files).

#include "engine/ktbdef.h"

#include <cstdint>
#include <string>
#include <vector>

struct TKTBHandle;
class Drive;

/// Fills Serial, Title, Comment, ScanTime, Used, Capacity, Files and RunLength from the medium in the
/// drive; answers false when there is no readable medium (serial 0). Used is the volume's size and
/// Capacity rounded from it (ktbRoundCapacity), except for a medium with a file system of its own (a
/// removable drive, a folder that is the root of a mount): its used bytes and its size.
bool ktbDiscFromDrive(char drive, TKTBDisc& disc);
/// The capacity a disc holding bytes is taken to have: 650, 680 or 700 MiB, or bytes itself.
std::int64_t ktbRoundCapacity(std::int64_t bytes);
/// Records the drive's folder tree as a new disc at the end of the file. Used becomes the bytes walked
/// when they exceed it, Capacity is rounded from Used; a medium with a file system of its own takes
/// both from that file system as the walk ends.
TKTBERROR ktbRecordDrive(TKTBHandle* handle, char drive, TKTBDisc disc, void* userData, TKTBWalkCallback callback);
/// Walks a folder ("D:\Music\") depth first, calling back before and after each sub-folder and for each
/// file; false when stopped or when a folder could not be listed.
bool ktbWalkFolder(const char* path, const char* mask, TKTBWalkCallback callback, void* userData);
/// Walks the folder relativePath of drive ("" is its top) as ktbWalkFolder walks a drive of the table,
/// with the same rules for what is recorded; walkPath is the path handed to the callback for that
/// folder (the folders below it get their names and a backslash added). False when stopped or when a
/// folder could not be listed (ktbLastWalkFailure); an empty top folder of a drive is that failure too.
bool ktbWalkDriveFolder(Drive& drive, const std::string& relativePath, const std::string& walkPath, const char* mask,
    TKTBWalkCallback callback, void* userData);
/// The walk path of the folder that could not be listed in the last walk on this thread ("D:\Music\"),
/// empty when the walk ran to its end or was stopped by its callback.
std::string ktbLastWalkFailure();
/// Why that folder could not be listed ("a damaged directory record"), when the drive knows; empty
/// otherwise.
std::string ktbLastWalkProblem();
/// Whether the last walk on this thread failed because the drive's top folder holds nothing at all.
bool ktbLastWalkFoundNothing();
/// True and a new disc entity when a disc with this non-zero serial is in the file.
bool ktbFindDiscBySerial(TKTBHandle* handle, std::uint32_t serial, TKTBEntity*& entity);
/// True and a copy of the record when offset holds a disc.
bool ktbReadDisc(TKTBHandle* handle, std::uint32_t offset, TKTBDisc& disc);
/// KTB_OK and the disc's serial; KTB_ERR_BADENTITY when offset holds no disc.
TKTBERROR ktbGetDiscSerial(TKTBHandle* handle, std::uint32_t offset, std::uint32_t& serial);
/// Copies the fields the mask selects into the stored disc at offset (never Serial or RunLength).
TKTBERROR ktbUpdateDisc(TKTBHandle* handle, std::uint32_t offset, const TKTBDisc& disc, std::uint32_t mask);
/// Removes the disc at offset with its whole run; later records move down by its RunLength.
TKTBERROR ktbDeleteDisc(TKTBHandle* handle, std::uint32_t offset);
/// Appends the source's disc at offset (below 256: the first disc) to the destination and answers the
/// offset of its tag byte there.
TKTBERROR ktbCopyDisc(TKTBHandle* source, TKTBHandle* destination, std::uint32_t offset, std::uint32_t& newOffset);

struct TKTBRange;

/// Writes a new catalog at newPath (it must not exist; see ktbCreateStaged) holding source's header and
/// each of its whole discs (ktbRunIsWhole) in their order; what lies between them and is no whole disc
/// is left out and named in leftOut. discs counts the discs kept. Source is only read.
TKTBERROR ktbSalvageCatalog(
    TKTBHandle* source, const char* newPath, std::vector<TKTBRange>& leftOut, std::uint32_t& discs);
