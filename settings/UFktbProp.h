#pragma once
// The fileset properties window as the main window reaches it.

#include "filesets/UEntity.h"

/// Shows the properties of the filesets of items modally and answers the window's result
/// (QDialog::Accepted when the user confirmed it).
int ShowFilesetProperties(const TItemDataArray& items);
