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
// child, each naming the other by absolute path: the move is done when the master goes. A child whose
// master is gone belongs to a finished move and is dropped; any other journal is rolled back, and a
// master's rollback takes its child's catalog back too. A partner counts only when it names this
// journal back. Earlier versions named the partner as typed, relative to their working folder: such a
// pair is matched from this journal's folder, the folders above it and the working folder, and a child
// whose master cannot be found is rolled back (a disc is then in both catalogs rather than in neither).
//
// Once a change has committed (its journal is removed) it stands: a folder that cannot be synced then
// only leaves it not yet safe on disk (ktbTakeUnsyncedChanges); it is never taken back.
//
// A journal is trusted only when it is a plain file of the catalog's owner, the current user or root:
// one of another user is never applied nor removed (writers are refused, readers read the catalog as
// it stands), and neither is one larger than the catalog and its header can make it. Journals and
// files being built are made anew (never through a symbolic link), with the catalog's permissions.
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

/// What kept a writer from using a journal, or the file a new catalog is built in, that it found.
enum class TKTBJournalTrouble : std::uint8_t {
    None,
    ForeignOwner, ///< owned by neither the catalog's owner, the current user nor root
    NotAFile, ///< not a plain file (a symbolic link, a folder), and it could not be removed
    TooLarge, ///< larger than any journal of the catalog can be: damage
};
struct TKTBJournalProblem {
    TKTBJournalTrouble Trouble = TKTBJournalTrouble::None;
    std::string Path; ///< the file in the way
    std::uint32_t Owner = 0; ///< its owner's user id
    bool Link = false; ///< it is a symbolic link
};
/// Why the last writer's open, creation or change on this thread was refused for a file in its way
/// (Trouble None when it was not), and forgets it.
TKTBJournalProblem ktbTakeJournalProblem();

/// The catalogs (absolute paths) whose changes committed since the last call, in this process, but
/// could not be made safe on disk: their folder could not be synced, so a power cut may still take
/// them back. Each once; the list is emptied.
std::vector<std::string> ktbTakeUnsyncedChanges();

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
/// earlier try is removed first), with the permission bits mode, and one change begun over all of its
/// writing. KTB_ERR_FILEEXISTS when path exists or a file in the way cannot be removed
/// (ktbTakeJournalProblem tells which).
TKTBERROR ktbCreateStaged(TKTBHandle*& handle, const char* path, unsigned mode = 0644);
/// Ends the change and closes the handle; when keep is set, renames the file to path (never replacing
/// a file) once it is on disk, otherwise removes it. A crash at any moment leaves no half-made file
/// under path.
TKTBERROR ktbFinishStaged(TKTBHandle*& handle, const char* path, bool keep);

/// For ktbOpen: creates the file a new catalog is built in (building, with the permission bits mode,
/// less the umask unless exact) and takes the writer's lock on it. A leftover of that name that nobody holds is what a
/// crashed creation left, and is replaced; one that is held is another process creating the same catalog; one of
/// another user, or anything that cannot be removed, is in the way (ktbTakeJournalProblem). -1 when none was made.
int ktbCreateBuilding(const std::string& building, unsigned mode, bool exact);
/// For ktbOpen: removes a journal left under the name of a catalog about to be created; false (the
/// problem kept) when it is not this user's to remove.
bool ktbRemoveStaleJournal(const std::string& catalogPath);
/// For the engine: a change of the catalog committed, but its folder could not be synced.
void ktbNoteUnsynced(const std::string& catalogPath);
