#pragma once
// The disc properties window as the main window reaches it.

#include "filesets/UEntity.h"

/// Shows the properties of the discs of items modally and answers the window's result
/// (QDialog::Accepted when the user confirmed it).
int ShowDiscProperties(const TItemDataArray& items);
