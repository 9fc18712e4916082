#pragma once
// The scan procedure: the program's road by which a disc enters a fileset. It asks its questions, then
// the drive is recorded into a scratch catalog behind a modal progress window (the core's DiscRecording);
// only a finished recording is moved into the fileset.

#include "engine/ktbdef.h"

#include <QString>
#include <QtGlobal>
#include <stdexcept>

struct ScratchLayout;
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

/// The scratch folders of scans: "katalox-scan-" + process id + "-..." in the system's temporary folder,
/// holding "_temp.ktb"; those of ended processes are removed.
ScratchLayout scanScratchLayout();
