#include "settings/UFktbProp.h"

#include <QDialog>

// Until the window exists, it is as if the user cancelled it.
int ShowFilesetProperties(const TItemDataArray& /*items*/) { return QDialog::Rejected; }
