#pragma once
// Conversion of catalog files of the older format ("Katalox Data Set").

#include "engine/ktbdef.h"

/// Converts the older file into a new current-format file at newPath. Whatever the reason it fails,
/// the partial new file is deleted.
TKTBERROR ktbConvertOlder(const char* olderPath, const char* newPath, TKTBConvertProgress progress, void* userData);
