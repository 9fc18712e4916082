#include "gui/common/programobjects.h"

#include "core/common/questions.h"
#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "gui/common/messageboxquestions.h"
#include "gui/common/systemicons.h"
#include "gui/dialogs/convertdialog.h"
#include "gui/mainwindow/cataloglist.h"

void installProgramQuestions()
{
    setQuestions(std::make_unique<MessageBoxQuestions>());
    FilesetRegistry::onConversionQuestion = [](const QString& path) {
        return questions().messageBox(FilesetRegistry::conversionQuestionText(path), QStringLiteral("KTB Error"),
                   MessageIcon::Question, YesButton | NoButton)
            == YesButton;
    };
    FilesetRegistry::onConvertFileset = [](const QString& path) { return convertFilesetInPlace(path); };
}

ProgramObjects::ProgramObjects()
{
    g_filesetRegistry = new FilesetRegistry();
    g_ownerIndex = new OwnerIndex(g_filesetRegistry);
    systemIcons();
    createSettings();
    g_catalogList = new CatalogList();
    createCatalogSearch();
}

ProgramObjects::~ProgramObjects()
{
    releaseCatalogSearch();
    delete g_catalogList;
    g_catalogList = nullptr;
    releaseSettings();
    releaseSystemIcons();
    delete g_ownerIndex;
    g_ownerIndex = nullptr;
    // Releasing the registry writes its list file and closes every catalog file.
    delete g_filesetRegistry;
    g_filesetRegistry = nullptr;
}
