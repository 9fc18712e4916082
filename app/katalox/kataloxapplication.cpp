#include "app/katalox/kataloxapplication.h"

#include "gui/common/programobjects.h"

#include "core/common/questions.h"
#include "core/filesets/filesetregistry.h"
#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "core/settings/shell.h"
#include "gui/common/appicons.h"
#include "gui/common/errordisplay.h"
#include "gui/common/messageboxquestions.h"
#include "gui/dialogs/convertdialog.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/mainwindow.h"

#include <QIcon>

KataloxApplication::KataloxApplication(int& argc, char** argv)
    : GuardedApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Katalox"));
    setOrganizationName(QStringLiteral("Katalox"));
}

int runKatalox(int argc, char** argv)
{
    // Every registered fileset stays open.
    raiseOpenFilesLimit();
    KataloxApplication application(argc, argv);
    installProgramQuestions();
    int result = 0;
    {
        ProgramObjects objects;
        // The data module exists before the window, whose commands show its images.
        AppIcons dataModule;
        g_appIcons = &dataModule;
        // The window tells, once shown, of the catalog files that could not be opened.
        MainWindow window;
        window.show();
        result = KataloxApplication::exec();
        g_appIcons = nullptr;
    }
    setQuestions(nullptr);
    return result;
}
