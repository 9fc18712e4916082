// The guard of the windows' handlers: a failure that leaves a connected handler is shown by the error
// display and the signal's other receivers still run; the handler gets the signal's leading arguments.
#include "gui/common/errordisplay.h"

#include "core/filesets/catalogerror.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_journal.h"
#include "engine/ktb_owners.h"
#include "tests/engine/discs/samplecatalogs.h"
#include "tests/support/crashharness.h"
#include "tests/support/scriptedquestions.h"
#include "tests/support/tempfolder.h"

#include <QStringListModel>
#include <gtest/gtest.h>

namespace {

TEST(ErrorDisplayTest, FailingHandlerIsShownAndTheSignalReachesItsOtherReceivers)
{
    ScriptedQuestions questions;
    QStringListModel model;
    std::vector<int> firstRows;
    int laterReceivers = 0;
    connectGuarded(&model, &QAbstractItemModel::rowsInserted, &model, [&firstRows](const QModelIndex&, int first) {
        firstRows.push_back(first);
        throw FileError(QStringLiteral("Cannot create new fileset."));
    });
    connectGuarded(&model, &QAbstractItemModel::rowsInserted, &model, [] { throw 42; });
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, &model, [&laterReceivers] { ++laterReceivers; });

    ASSERT_TRUE(model.insertRows(0, 2));
    EXPECT_EQ(firstRows, std::vector<int> { 0 });
    EXPECT_EQ(laterReceivers, 1);
    EXPECT_EQ(model.rowCount(), 2);
    ASSERT_EQ(questions.asked().size(), 2u);
    EXPECT_EQ(questions.asked()[0].text, QStringLiteral("Cannot create new fileset."));
    EXPECT_EQ(questions.asked()[0].caption, QStringLiteral("Katalox"));
    EXPECT_EQ(questions.asked()[0].icon, MessageIcon::Error);
    EXPECT_EQ(questions.asked()[1].text, QStringLiteral("Unknown error"));
}

TEST(ErrorDisplayTest, HandlerOfAContextThatIsGoneIsNotCalled)
{
    QStringListModel model;
    int calls = 0;
    {
        QObject context;
        connectGuarded(&model, &QAbstractItemModel::modelReset, &context, [&calls] { ++calls; });
        model.setStringList({ QStringLiteral("a") });
        EXPECT_EQ(calls, 1);
    }
    model.setStringList({ QStringLiteral("b") });
    EXPECT_EQ(calls, 1);
}

TEST(ErrorDisplayTest, AChangeTheDiskDoesNotConfirmIsToldInAWarning)
{
    ScriptedQuestions questions;
    const TempFolder folder;
    const ThreeDiscs three;
    const std::string path = folder.file("music.ktb");
    ASSERT_TRUE(three.catalog.writeTo(path));
    KtbHandlePtr catalog;
    ASSERT_EQ(ktbOpenOwned(catalog, path.c_str(), 0), KTB_OK);
    ktbTakeUnsyncedChanges();
    runGuarded([&] {
        const FolderSyncFailure disk;
        EXPECT_EQ(ktbDeleteDisc(catalog.get(), three.second), KTB_OK);
    });
    ASSERT_EQ(questions.asked().size(), 1u);
    EXPECT_EQ(questions.asked()[0].text,
        QStringLiteral("The change is done, but not yet safe on disk: the disk did not confirm it, and a power cut or "
                       "system crash now may still take the change back.\r\n")
            + QString::fromStdString(path));
    EXPECT_EQ(questions.asked()[0].icon, MessageIcon::Warning);
    runGuarded([] {});
    EXPECT_EQ(questions.asked().size(), 1u) << "each change is told once";
}

} // namespace
