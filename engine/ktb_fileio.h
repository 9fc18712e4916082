#pragma once
// The one road by which catalog files and their journals change on disc: creation, positioned writes,
// truncation, sync, rename and removal. Nothing else in the engine writes a file. Tests install a hook
// that sees every call, so they can stop a change at any of them as a crash would.

#include <cstddef>
#include <cstdint>
#include <string>

/// The calls of the seam, as the hook sees them.
enum class TKTBIoCall : std::uint8_t { Create, Write, Truncate, Sync, SyncFolder, Rename, Link, Remove, Lock };

/// Called before every call of the seam with the file's path (for SyncFolder a path in the folder; for
/// Rename and Link the old path, and the new one as second; Lock before each try to take a writer's
/// lock). Answering false makes the call fail without touching anything.
using TKTBIoHook = bool (*)(TKTBIoCall call, const char* path, const char* second, void* userData);

/// Installs the hook for the whole process (null removes it). For tests only.
void ktbSetIoHook(TKTBIoHook hook, void* userData);

/// Creates path, which must not exist (a symbolic link there counts: it is never followed), with the
/// permission bits mode (those of the catalog it belongs to: exactly, or less the umask unless exact),
/// and answers its descriptor, opened read-write, or -1 (errno EEXIST when something is in the way).
int ktbIoCreate(const char* path, unsigned mode, bool exact = true);
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
/// Takes the writer's lock (an exclusive flock) of an open catalog. A lock held by a process on its way
/// out (killed, exiting: its files are about to close) is waited for, up to a few seconds; one held by
/// a process that goes on is refused at once. False when it is not taken.
bool ktbIoLock(int file, const char* path);

/// The path made absolute against the working folder (unchanged when it is absolute already, or when
/// the working folder cannot be told).
std::string ktbAbsolutePath(const char* path);
