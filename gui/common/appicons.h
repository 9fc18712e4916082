#pragma once
// The data module: the shared small image list smallImages.

#include "gui/common/imagelist.h"

/// Indexes of smallImages.
enum SmallImage : int {
    ToolsImage = 0,
    MagnifierImage = 1,
    OwnerImage = 2,
    FilesetImage = 3,
    DataDiscImage = 4,
    AudioDiscImage = 5,
    ClosedFolderImage = 6,
    OpenFolderImage = 7,
};

/// The data module: built once when the program starts.
class AppIcons {
public:
    AppIcons();
    /// Tools, magnifier, person, fileset, data disc, audio disc, closed folder, open folder. The folder
    /// pair comes from the icon theme when it has them, else from the program's own images.
    ImageList smallImages;
};

/// The process-wide data module; created by the program's entry, null before.
extern AppIcons* g_appIcons;
/// smallImages of the data module, made on first use when the module does not exist (tests).
const ImageList& smallImageList();
