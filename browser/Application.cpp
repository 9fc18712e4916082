#include "browser/Application.h"

#include "browser/FUMain.h"
#include "browser/FUglobals.h"
#include "browser/UListhelper.h"
#include "engine/FUConvert.h"
#include "filesets/UKtbMngr.h"
#include "platform/MessageBoxQuestions.h"
#include "platform/Questions.h"
#include "search/USearchHelper.h"
#include "settings/USettings.h"
#include "settings/Ushell.h"

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

void InstallProgramQuestions()
{
    setQuestions(std::make_unique<MessageBoxQuestions>());
    TKTBFiles::OnConversionQuestion = [](const QString& path) {
        return questions().messageBox(TKTBFiles::ConversionQuestionText(path), QStringLiteral("KTB Error"),
                   TMsgIcon::Question, mbYes | mbNo)
            == mbYes;
    };
    TKTBFiles::OnConvertFileset = [](const QString& path) { return ktbConvertFileset(path); };
}

TProgramObjects::TProgramObjects()
{
    FilesetList = new TKTBFiles();
    OwnerList = new TKTBOwners(FilesetList);
    SystemImages();
    createSettings();
    ListHelper = new TListHelper();
    createSearchHelper();
    // The search drops the results of a fileset the registry deletes, while the object still exists.
    FilesetList->OnNotify = [owners = FilesetList->OnNotify](TKTBFile* fileset, TListNotification action) {
        if (action == TListNotification::lnDeleted && SearchHelper != nullptr) {
            SearchHelper->FilesetDeleted(fileset);
        }
        if (owners) {
            owners(fileset, action);
        }
    };
}

TProgramObjects::~TProgramObjects()
{
    releaseSearchHelper();
    delete ListHelper;
    ListHelper = nullptr;
    releaseSettings();
    releaseSystemImages();
    OwnerList->Detach();
    delete OwnerList;
    OwnerList = nullptr;
    // Releasing the registry writes its list file and closes every catalog file.
    delete FilesetList;
    FilesetList = nullptr;
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
