// The main window's commands that open the scan window and the new fileset window.
#include "gui/mainwindow/mainwindow.h"

#include "core/common/questions.h"
#include "core/filesets/filesetregistry.h"
#include "gui/common/errordisplay.h"
#include "gui/dialogs/newfilesetdialog.h"
#include "gui/mainwindow/navigationtree.h"
#include "gui/scan/scandialog.h"

#include <QAction>

void MainWindow::connectScan()
{
    connectGuarded(action("scanDiscAction"), &QAction::triggered, this, [this] { openScanWindow(0); });
    connectGuarded(action("newFilesetAction"), &QAction::triggered, this, [this] { newFileset(); });
}

void MainWindow::openScanWindow(char drive)
{
    if (g_filesetRegistry->count() == 0) {
        if (questions().messageBox(QStringLiteral("There are no filesets to store scanned data.\r\n"
                                                  "Do you want to create a fileset now?"),
                QStringLiteral("No Filesets!"), MessageIcon::None, YesButton | NoButton)
            == YesButton) {
            newFileset();
        }
        return;
    }
    // The scan may rescan discs and so move others: the user's place is kept by identity.
    const NodePlace place = placeOf(navigationTree->selectedNode());
    {
        ScanDialog scan(this, drive);
        scan.exec();
    }
    refreshOwnersBranch();
    returnTo(place);
}

void MainWindow::newFileset()
{
    NewFilesetDialog form(this);
    connect(&form, &NewFilesetDialog::registryReloading, this, [this] { forgetRegistryObjects(); });
    if (form.exec() == QDialog::Accepted) {
        refreshTree();
    }
    reportLoadErrors();
}
