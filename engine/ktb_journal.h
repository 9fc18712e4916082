#pragma once
// Atomic and durable changes of catalog files through a rollback journal, the sidecar PATH-journal.
//
// Before a change touches the catalog, the bytes it will overwrite (always the header, and the ranges
// the change names) and the catalog's size are written to the journal and synced. Then the change
// writes the catalog, syncs it, and removes the journal (the moment the change is done), syncing the
// folder. A journal found by the next writer is a change a crash cut short: the writer copies the
// bytes back and cuts the file to its former size, so the catalog is as it was before that change.
// Appends need no bytes saved: the size alone takes them back.
//
// A move changes two catalogs at once. The destination's journal is the master, the source's the
// child, each naming the other: the move is done when the master goes. A child whose master is gone
// belongs to a finished move and is dropped; any other journal is rolled back, and a master's
// rollback takes its child's catalog back too.
//
// Readers: during a change the writer holds an exclusive byte-range lock far past the end of the
// catalog; readers hold a shared one while they walk, so a walk sees the state before a change or
// after it, never one half-made. A reader that finds a journal nobody is working on reads the state
// before the crashed change from a private image, without writing anything. Where the file system keeps
// no byte-range locks, changes go ahead unlocked and a walk that the file changed under fails at its end.

#include "engine/ktbdef.h"

#include <cstdint>
#include <string>
#include <vector>

struct TKTBHandle;

/// A range of the catalog that a change overwrites.
struct TKTBRange {
    std::uint32_t Offset;
    std::uint32_t Length;
};

/// The journal beside the catalog at catalogPath.
std::string ktbJournalPath(const std::string& catalogPath);

/// Starts a change of a writer's handle that overwrites the header and the given ranges (bytes past
/// the end need none). Inside a change already under way it only counts: the outer change must cover
/// what the inner one writes. KTB_ERR_FILENOTAVAILABLE when the journal cannot be written or readers
/// hold the catalog for longer than a few seconds.
TKTBERROR ktbBeginChange(TKTBHandle* handle, const std::vector<TKTBRange>& ranges = {});
/// Ends the change begun last. When the outermost one ends: on success the catalog is synced and the
/// journal removed; after a failure (here or in any step inside) the catalog is rolled back. Answers
/// true when the change is on disk (success) or cleanly taken back (failure).
bool ktbEndChange(TKTBHandle* handle, bool success);

/// Starts one change over two catalogs (a disc moving from child to master).
TKTBERROR ktbBeginLinkedChange(TKTBHandle* master, const std::vector<TKTBRange>& masterRanges, TKTBHandle* child,
    const std::vector<TKTBRange>& childRanges);
/// Ends it on both; answers as ktbEndChange.
bool ktbEndLinkedChange(TKTBHandle* master, TKTBHandle* child, bool success);

/// For a writer that has just taken the lock of an unmapped handle: rolls back what a crash left.
/// KTB_ERR_FILENOTAVAILABLE when it cannot (the journal stays for the next writer).
TKTBERROR ktbRecoverCatalog(TKTBHandle* handle);

/// For readers: takes the shared lock (waiting for a change under way to end) and brings the view up to
/// the catalog's present state: remapped when its size changed, or the state before a crashed change.
/// Counted: only the first of nested calls does anything. False when the view cannot be made.
bool ktbReaderEnter(TKTBHandle* handle);
/// Releases what the last ktbReaderEnter took.
void ktbReaderLeave(TKTBHandle* handle);
/// Whether the walks under way may trust what they read: always on a file system with byte-range
/// locks; without them, only when the file and its journal are as they were when the walk began.
bool ktbReaderUnchanged(const TKTBHandle* handle);
/// Makes the process behave as on a file system without byte-range locks. For tests only.
void ktbSetRangeLocksMissing(bool missing);

/// What is appended to a catalog's name for the file it is built in until it is whole.
constexpr char KTB_BUILDING_SUFFIX[] = "-building";

/// Creates a new catalog for path under a name of its own beside it (PATH-building; a leftover of an
/// earlier try is removed first), with one change begun over all of its writing. KTB_ERR_FILEEXISTS
/// when path exists.
TKTBERROR ktbCreateStaged(TKTBHandle*& handle, const char* path);
/// Ends the change and closes the handle; when keep is set, renames the file to path (never replacing
/// a file) once it is on disk, otherwise removes it. A crash at any moment leaves no half-made file
/// under path.
TKTBERROR ktbFinishStaged(TKTBHandle*& handle, const char* path, bool keep);
