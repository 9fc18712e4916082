#pragma once
// The scan procedure: the one road by which a disc enters a fileset. The drive is recorded into a
// scratch catalog behind a modal progress window; only a finished recording is moved into the fileset.

#include "engine/ktbdef.h"

#include <QString>
#include <QtGlobal>
#include <functional>
#include <stdexcept>

struct TKTBHandle;

/// A failure of the move into the fileset: "ERROR1" (the scratch catalog cannot be opened again),
/// "ERROR2" (the older entry cannot be deleted), "ERROR3" (the new disc cannot be appended).
class ScanError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Adds a disc to the catalog behind destination: the disc in drive (a letter; 0 for none) scanned, or
/// with symbolic an empty disc without contents made from templateDisc (its Title and Comment are used).
/// Unless noQuestion is set, asks before replacing a disc of the same serial number that the catalog
/// holds already. Answers the offset of the new disc's record, or 0 when nothing was added (cancelled,
/// refused or failed). Raises ScanError when the finished recording cannot be moved into the catalog;
/// the catalog then still holds the older entry of a rescanned disc. The scratch catalog, a private
/// folder in the system's temporary folder, is gone whatever way the procedure ends.
quint32 scanDisc(char drive, TKTBHandle* destination, const TKTBDisc& templateDisc, bool symbolic, bool noQuestion);

/// The prefix of the scratch folders in the temporary folder ("katalox-scan-" + process id + "-...").
extern const QString ScratchFolderPrefix;

/// Test seam: called on the window thread after a successful recording, before its move into the
/// catalog, with the scratch catalog's path.
extern std::function<void(const QString& scratchFile)> scanBeforeTransplant;
