#pragma once
// The scan procedure as the main window's commands reach it.

#include "engine/ktbdef.h"

#include <QtGlobal>

struct TKTBHandle;

/// Adds a disc to the catalog behind destination: the disc in drive (a letter; 0 for none) scanned, or
/// with symbolic an empty disc without contents made from templateDisc (its Title and Comment are used).
/// Unless noQuestion is set, asks before replacing a disc of the same serial number that the catalog
/// holds already. Answers the offset of the new disc's record, or 0 when nothing was added (cancelled,
/// refused or failed).
quint32 ScanDisc(char drive, TKTBHandle* destination, const TKTBDisc& templateDisc, bool symbolic, bool noQuestion);
