#include "gui/common/programobjects.h"

#include "core/common/questions.h"
#include "core/filesets/fileset.h"
#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "core/settings/shell.h"
#include "gui/common/messageboxquestions.h"
#include "gui/dialogs/convertdialog.h"
#include "gui/mainwindow/cataloglist.h"

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
