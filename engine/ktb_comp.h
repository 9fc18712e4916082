#pragma once
// Conversion of catalog files of the older format ("Katalox Data Set").

#include "engine/ktbdef.h"

/// Converts the older file into a new current-format file at newPath (it must not exist). The new file
/// is written under a name of its own and renamed to newPath once whole and on disk (ktbCreateStaged):
/// whatever the reason it fails, even a crash, there is no partial file at newPath. The older file's
/// records must be well-formed: inside a disc, every folder closed by its mark.
TKTBERROR ktbConvertOlder(const char* olderPath, const char* newPath, TKTBConvertProgress progress, void* userData);
