#pragma once
// The handle of one open catalog file and its whole-file memory mapping.

#include "engine/ktbdef.h"

#include <cstdint>
#include <string>

constexpr std::uint32_t KTB_HANDLE_MAGIC = 0x4B544248; // "HBTK": a live handle record

/// One open catalog file. Allocated zero-filled by ktbOpen, released by ktbClose.
struct TKTBHandle {
    std::uint32_t Magic; ///< KTB_HANDLE_MAGIC while the record is live; cleared by ktbClose
    char FileName[256]; ///< the path as given to ktbOpen, at most 255 bytes kept
    int File; ///< file descriptor, -1 when not open
    std::uint8_t* View; ///< the mapped bytes of the whole file, null when not mapped
    std::uint32_t Size; ///< bytes mapped (the file's size)
    std::uint32_t Position; ///< current offset
    bool Locked; ///< the stored key is set and was not given to ktbUnlock on this handle
    bool ReadOnly; ///< opened with KTB_OPEN_READONLY: no writer's lock
    std::string Path; ///< the whole path as given to ktbOpen
    std::uint32_t ChangeDepth; ///< nesting of the changes under way (see ktb_journal.h)
    bool ChangeFailed; ///< a step of the change under way failed: it is rolled back at its end
    bool Broken; ///< a change could neither be finished nor taken back: no further change is allowed
    bool Private; ///< a reader's view is a private image of the state before a crashed change
    bool Scratch; ///< opened with KTB_OPEN_SCRATCH: no journal, no sync
    std::uint32_t ChangeSize; ///< the size when the change under way began
    std::uint32_t ReaderLocks; ///< walks under way on a reader's handle (they hold the shared lock)
    /// The file system keeps no byte-range locks: the walk under way holds none, and it is checked at
    /// its end against the file's size, times and journal as they were when it began (ReaderStamp).
    bool ReaderUnlocked;
    std::int64_t ReaderStamp[6];
};

/// KTB_ERR_BADHANDLE for a null pointer or a record that is not a live handle, KTB_ERR_FILENOTAVAILABLE
/// when it has no file or no mapping (both set the last error); otherwise KTB_OK, last error untouched.
TKTBERROR ktbCheckHandle(const TKTBHandle* handle);
/// ktbCheckHandle, then KTB_ERR_LOCKED for a locked or read-only handle.
TKTBERROR ktbCheckWritable(const TKTBHandle* handle);

/// Maps the whole file as it now is, read-only (every change goes through the seam of ktb_fileio.h, and
/// a shared mapping sees it), and sets the position to 0; false (and no mapping) on failure.
bool ktbMapFile(TKTBHandle* handle);
/// Removes the mapping, sets the file's end at newSize and maps it again; the position becomes the
/// smaller of newSize and the former position. False when the new mapping cannot be made. Outside a
/// change it is a change of its own.
bool ktbResize(TKTBHandle* handle, std::uint32_t newSize);
/// Removes the mapping (if any).
void ktbUnmapFile(TKTBHandle* handle);

/// Copies count bytes out of the view at offset; a fault while copying (another process shortened
/// the file) makes the copy answer false instead of ending the program.
bool ktbGuardedCopy(void* destination, const TKTBHandle* handle, std::uint32_t offset, std::uint32_t count);

/// Moves count bytes (the ranges may overlap) under the fault guard; false when the view faulted.
bool ktbGuardedMove(void* destination, const void* source, std::size_t count);

/// Runs a plain function under the fault guard: answers false when reading the view faulted.
/// The function must not own anything that needs a destructor: a fault leaves it by a long jump.
bool ktbGuarded(void (*function)(void* context), void* context);
