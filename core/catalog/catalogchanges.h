#pragma once
// Changes of catalogs that the windows and `ktb` share: moving a disc from one fileset into another,
// deleting a fileset, which leaves its file behind as a ".bak", and restoring it.

#include "engine/ktbdef.h"

#include <QStringList>
#include <cstdint>

class Fileset;
class FilesetRegistry;
struct TKTBHandle;

/// How a move of a disc ended.
enum class DiscMoveOutcome {
    Moved, ///< the disc is at newOffset of the destination and gone from the source
    Refused, ///< the disc cannot leave the source (a catalog locked by its key): nothing was copied
    NotCopied, ///< the destination refused the copy (a disc of that serial is there already...)
    TakenBack, ///< the source refused the delete (or the move could not be made durable); both are as they were
    LeftInBoth, ///< the source refused the delete and the change could not be taken back: the next open of
                ///< either catalog rolls it back
};

struct DiscMoveResult {
    DiscMoveOutcome outcome = DiscMoveOutcome::Moved;
    TKTBERROR code = KTB_OK; ///< the engine's answer to the step that failed
    std::uint32_t newOffset = 0;
};

/// Moves the disc at offset of source to the end of destination: a copy there, then the delete here,
/// both in one change of the two catalogs (ktbBeginLinkedChange), so that a failure or a crash at any
/// moment leaves the disc in exactly one of them. A disc that cannot leave its catalog is not copied.
DiscMoveResult moveDisc(TKTBHandle* source, std::uint32_t offset, TKTBHandle* destination);

/// Takes the fileset out of the registry (which releases the object and closes its file), rolls back
/// what a crash may have left, and renames its file to the same name with ".bak" added, replacing an
/// older ".bak": the file stays on disc where no "*.ktb" lookup finds it. Failures of the renaming are
/// ignored; the fileset is gone either way.
void deleteFileset(FilesetRegistry& registry, Fileset* fileset);

/// The ".bak" files that deleteFileset left: every "*.ktb.bak" directly inside the folders (by name in
/// each folder), then the ".bak" of each of the files; each once, only those that exist.
QStringList deletedFilesets(const QStringList& folders, const QStringList& files);
/// The name a ".bak" had before it was deleted (the name without ".bak"); empty for another name.
QString restoredName(const QString& backup);

/// How restoring a deleted fileset ended.
enum class RestoreOutcome {
    Restored,
    NameTaken, ///< a file of the target name exists: nothing changed
    Failed, ///< the ".bak" is gone or could not be renamed: nothing changed
};

/// Renames the ".bak" of a deleted fileset to target, with the journal a crash left beside it, never
/// over an existing file. The caller registers the restored catalog (its first open rolls back what
/// the journal names).
RestoreOutcome restoreFileset(const QString& backup, const QString& target);
