#pragma once
// The one road by which catalog files and their journals change on disc: creation, positioned writes,
// truncation, sync, rename and removal. Nothing else in the engine writes a file. Tests install a hook
// that sees every call, so they can stop a change at any of them as a crash would.

#include <cstddef>
#include <cstdint>

/// The calls of the seam, as the hook sees them.
enum class TKTBIoCall : std::uint8_t { Create, Write, Truncate, Sync, SyncFolder, Rename, Link, Remove };

/// Called before every call of the seam with the file's path (for SyncFolder a path in the folder; for
/// Rename and Link the old path, and the new one as second). Answering false makes the call fail without
/// touching anything.
using TKTBIoHook = bool (*)(TKTBIoCall call, const char* path, const char* second, void* userData);

/// Installs the hook for the whole process (null removes it). For tests only.
void ktbSetIoHook(TKTBIoHook hook, void* userData);

/// Creates path (it must not exist when exclusive; otherwise an existing file is emptied) and answers
/// its descriptor, opened read-write, or -1.
int ktbIoCreate(const char* path, bool exclusive);
/// Writes all count bytes at offset; false on any failure.
bool ktbIoWrite(int file, const char* path, const void* bytes, std::size_t count, std::uint64_t offset);
/// Sets the file's end.
bool ktbIoTruncate(int file, const char* path, std::uint64_t size);
/// Brings the file's data (and its size) to the disk.
bool ktbIoSync(int file, const char* path);
/// Brings the folder holding path to the disk: the names made, renamed and removed in it.
bool ktbIoSyncFolder(const char* path);
/// Renames from to to; an existing to is replaced only when replace is set (false with errno EEXIST).
bool ktbIoRename(const char* from, const char* to, bool replace = true);
/// Gives the file at from the second name to, never replacing a file there (false with errno EEXIST);
/// a file system that keeps one name a file refuses it (linksRefused).
bool ktbIoLink(const char* from, const char* to);
/// Whether error says the file system keeps one name a file (FAT, some network shares).
bool ktbLinksRefused(int error);
/// Removes the file; a file that is not there counts as removed.
bool ktbIoRemove(const char* path);
