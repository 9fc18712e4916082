// The main window's commands that open the scan window and the new fileset window.
#include "gui/mainwindow/mainwindow.h"

#include "core/common/questions.h"
#include "core/filesets/fileset.h"
#include "gui/common/appicons.h"
#include "gui/dialogs/newfilesetdialog.h"
#include "gui/scan/scandialog.h"

#include <QAction>

void TForm1::connectScan()
{
    connect(
        action("act_scandisc"), &QAction::triggered, this, [this] { RunGuarded([this] { act_scandiscExecute(); }); });
    connect(action("act_newfileset"), &QAction::triggered, this,
        [this] { RunGuarded([this] { act_newfilesetExecute(); }); });
}

void TForm1::act_scandiscExecute()
{
    if (FilesetList->Count() == 0) {
        if (questions().messageBox(QStringLiteral("There are no filesets to store scanned data.\r\n"
                                                  "Do you want to create a fileset now?"),
                QStringLiteral("No Filesets!"), TMsgIcon::None, mbYes | mbNo)
            == mbYes) {
            act_newfilesetExecute();
        }
        return;
    }
    {
        TformScan scan(this);
        scan.exec();
    }
    RefreshOwnersBranch();
}

void TForm1::act_newfilesetExecute()
{
    TFormNewFileset form(this);
    if (form.exec() == QDialog::Accepted) {
        RefreshTree();
    }
}
