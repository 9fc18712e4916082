// File > Import...: the main window holds the filesets' write locks, so it imports into them itself.
#include "gui/mainwindow/mainwindow.h"

#include "core/filesets/filesetregistry.h"
#include "gui/export/importdialog.h"

void MainWindow::openImport()
{
    // The dialog tells the registry of every fileset it changed; the views follow from there.
    ImportDialog dialog(*g_filesetRegistry, this);
    dialog.exec();
}
