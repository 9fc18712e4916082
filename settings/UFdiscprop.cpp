#include "settings/UFdiscprop.h"

#include <QDialog>

// Until the window exists, it is as if the user cancelled it.
int ShowDiscProperties(const TItemDataArray& /*items*/) { return QDialog::Rejected; }
