#include "app/katalox/kataloxapplication.h"

#include "gui/common/programobjects.h"

#include "core/common/questions.h"
#include "core/filesets/fileset.h"
#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "core/settings/shell.h"
#include "gui/common/appicons.h"
#include "gui/common/messageboxquestions.h"
#include "gui/dialogs/convertdialog.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/mainwindow.h"

#include <QIcon>
#include <sys/resource.h>

namespace {

// Every registered fileset stays open: allow as many open files as the system lets us.
void raiseOpenFilesLimit()
{
    struct rlimit limit { };
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

TKataloxApplication::TKataloxApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Katalox"));
    setOrganizationName(QStringLiteral("Katalox"));
}

bool TKataloxApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        ShowException(failure);
    } catch (...) {
        ShowErrorText(QStringLiteral("Unknown error"));
    }
    return false;
}

int RunKatalox(int argc, char** argv)
{
    raiseOpenFilesLimit();
    TKataloxApplication application(argc, argv);
    InstallProgramQuestions();
    int result = 0;
    {
        TProgramObjects objects;
        // The data module exists before the window, whose commands show its images.
        TDM dataModule;
        DM = &dataModule;
        TForm1 window;
        const std::optional<QString> startupError = FilesetList->TakeStartupError();
        window.show();
        if (startupError) {
            ShowErrorText(*startupError);
        }
        result = TKataloxApplication::exec();
        DM = nullptr;
    }
    setQuestions(nullptr);
    return result;
}
