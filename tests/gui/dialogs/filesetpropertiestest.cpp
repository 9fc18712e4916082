// The fileset properties window: one fileset, several, a locked one, Cancel, and the counting worker,
// stopped in the middle of a walk when the window closes.
#include "tests/gui/dialogs/windowsfixture.h"

#include "core/filesets/fileset.h"
#include "core/filesets/ownerindex.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "gui/dialogs/filesetpropertiesdialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

namespace {

class FilesetPropertiesTest : public WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        writeSettings();
        startObjects();
    }

    /// Alice's "Music": one disc with a folder and three files (1000 bytes in all), and an empty disc.
    Fileset* music()
    {
        CatalogBuilder catalog;
        catalog.setOwner("Alice").setName("Music");
        catalog.beginDisc({ .serial = 1, .title = "Disc 1", .used = 1000 });
        catalog.beginFolder("Rock");
        catalog.addFile("a.mp3", 600);
        catalog.addFile("b.mp3", 300);
        catalog.endFolder();
        catalog.addFile("readme.txt", 100);
        catalog.endDisc();
        catalog.addEmptyDisc({ .serial = 2, .title = "Disc 2" });
        return addFileset(catalog, storagePath() + QStringLiteral("music.ktb"));
    }

    /// bob's "Photos": one disc with two files, 5000 bytes.
    Fileset* photos()
    {
        CatalogBuilder catalog;
        catalog.setOwner("bob").setName("Photos");
        catalog.beginDisc({ .serial = 3, .title = "Holiday" });
        catalog.beginFolder("2003");
        catalog.addFile("beach.jpg", 2000);
        catalog.addFile("sea.jpg", 3000);
        catalog.endFolder();
        catalog.endDisc();
        return addFileset(catalog, storagePath() + QStringLiteral("photos.ktb"));
    }

    static ItemRef item(Fileset* fileset) { return ItemRef { FilesetItem, fileset, 0, 0 }; }

    /// Waits until the worker's totals reached the window.
    static void waitForTotals(FilesetPropertiesDialog& form, const QString& files)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return form.filesLabel->text() == files; }, 10000))
            << "files shown: " << form.filesLabel->text().toStdString();
    }
};

TEST_F(FilesetPropertiesTest, OneFilesetShowsEverythingAndOkRenamesIt)
{
    Fileset* fileset = music();
    int result = -1;
    whenModal([&](QDialog* dialog) {
        auto* form = qobject_cast<FilesetPropertiesDialog*>(dialog);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("KTB File Properties"));
        EXPECT_EQ(form->descriptionEdit->text(), QStringLiteral("Music"));
        EXPECT_TRUE(form->descriptionEdit->isEnabled());
        EXPECT_EQ(form->ownerEdit->text(), QStringLiteral("Alice"));
        EXPECT_EQ(form->pathEdit->text(), fileset->fileName);
        EXPECT_TRUE(form->pathEdit->isReadOnly());
        EXPECT_TRUE(form->lockedLabel->text().isEmpty());
        EXPECT_EQ(form->versionLabel->text(), QStringLiteral("Used KTB Version: 0.5"));
        EXPECT_EQ(form->createdLabel->text(), formatDateTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6))));
        EXPECT_EQ(form->modifiedLabel->text(), form->createdLabel->text());
        waitForTotals(*form, QStringLiteral("3"));
        EXPECT_EQ(form->foldersLabel->text(), QStringLiteral("1"));
        EXPECT_EQ(form->discsLabel->text(), QStringLiteral("2"));
        EXPECT_EQ(form->bytesLabel->text(), formatSize(1000));
        form->descriptionEdit->setText(QStringLiteral("Music Collection"));
        form->ownerEdit->setText(QStringLiteral("Anna"));
        form->okButton->click();
    });
    result = showFilesetProperties({ item(fileset) });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(storedDescription(fileset->fileName), QStringLiteral("Music Collection"));
    EXPECT_EQ(storedOwner(fileset->fileName), QStringLiteral("Anna"));
    EXPECT_EQ(g_ownerIndex->indexOfFileset(fileset), g_ownerIndex->indexOfName(QStringLiteral("Anna")))
        << "filed under its new owner";
    EXPECT_TRUE(m_questions->asked().empty());
}

TEST_F(FilesetPropertiesTest, SeveralFilesetsGetTheOwnerTypedAndKeepTheirNames)
{
    Fileset* first = music();
    Fileset* second = photos();
    FilesetPropertiesDialog form;
    form.fill({ item(first), item(second) });
    EXPECT_FALSE(form.descriptionEdit->isEnabled());
    EXPECT_EQ(
        form.descriptionEdit->palette().color(QPalette::Base), form.descriptionEdit->palette().color(QPalette::Button));
    EXPECT_EQ(form.descriptionEdit->text(), QStringLiteral("Music, Photos"));
    EXPECT_TRUE(form.ownerEdit->text().isEmpty());
    EXPECT_EQ(form.versionLabel->text(), QStringLiteral("Version: N/A"));
    EXPECT_EQ(form.createdLabel->text(), QStringLiteral("N/A"));
    EXPECT_TRUE(form.pathEdit->text().isEmpty());

    form.createWorker()->start();
    waitForTotals(form, QStringLiteral("5"));
    EXPECT_EQ(form.foldersLabel->text(), QStringLiteral("2"));
    EXPECT_EQ(form.discsLabel->text(), QStringLiteral("3"));
    EXPECT_EQ(form.bytesLabel->text(), formatSize(6000));

    // The owner box left empty gives every fileset the empty owner.
    form.okButton->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.worker(), nullptr);
    EXPECT_TRUE(storedOwner(first->fileName).isEmpty());
    EXPECT_TRUE(storedOwner(second->fileName).isEmpty());
    EXPECT_EQ(storedDescription(first->fileName), QStringLiteral("Music"));
    EXPECT_EQ(storedDescription(second->fileName), QStringLiteral("Photos"));
}

TEST_F(FilesetPropertiesTest, ALockedFilesetIsMarkedAndDropsTheChangesSilently)
{
    CatalogBuilder catalog;
    catalog.setOwner("Alice").setName("Vault").setKey("secret");
    Fileset* fileset = addFileset(catalog, storagePath() + QStringLiteral("vault.ktb"));
    FilesetPropertiesDialog form;
    form.fill({ item(fileset) });
    EXPECT_EQ(form.lockedLabel->text(), QStringLiteral("[LOCKED]"));
    form.descriptionEdit->setText(QStringLiteral("Open Vault"));
    form.ownerEdit->setText(QStringLiteral("Mallory"));
    form.okButton->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(storedDescription(fileset->fileName), QStringLiteral("Vault"));
    EXPECT_EQ(storedOwner(fileset->fileName), QStringLiteral("Alice"));
    EXPECT_EQ(g_ownerIndex->indexOfFileset(fileset), g_ownerIndex->indexOfName(QStringLiteral("Alice")));
    EXPECT_EQ(g_ownerIndex->indexOfName(QStringLiteral("Mallory")), -1);
    EXPECT_TRUE(m_questions->asked().empty());
}

TEST_F(FilesetPropertiesTest, CancelWritesNothing)
{
    Fileset* fileset = music();
    const std::string before = readFileBytes(fileset->fileName.toStdString());
    FilesetPropertiesDialog form;
    form.fill({ item(fileset) });
    form.createWorker()->start();
    form.descriptionEdit->setText(QStringLiteral("Something else"));
    form.ownerEdit->setText(QStringLiteral("Nobody"));
    form.cancelButton->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(form.worker(), nullptr) << "closing released the worker";
    EXPECT_EQ(readFileBytes(fileset->fileName.toStdString()), before);
}

TEST_F(FilesetPropertiesTest, AFilesetThatCannotBeWalkedAddsNothing)
{
    Fileset* fileset = photos();
    Fileset gone(tempPath("gone.ktb"), false);
    FilesetCountWorker worker({ &gone, fileset });
    const QSignalSpy totals(&worker, &FilesetCountWorker::totalsChanged);
    worker.start();
    ASSERT_TRUE(worker.wait(10000));
    ASSERT_FALSE(totals.isEmpty());
    // discs, files, folders, bytes
    EXPECT_EQ(totals.last().at(1).toULongLong(), 2u);
    EXPECT_EQ(totals.last().at(3).toULongLong(), 5000u);
}

// The window closes while a large fileset is still being counted: the worker is told to stop in the
// middle of the walk and ends at its next step.
TEST_F(FilesetPropertiesTest, ClosingStopsTheCountAtItsNextStep)
{
    constexpr int fileCount = 5 * static_cast<int>(FilesetCountWorker::RecordsPerReport);
    CatalogBuilder catalog;
    catalog.setName("Large");
    catalog.beginDisc({ .serial = 9, .title = "Everything" });
    for (int i = 0; i < fileCount; ++i) {
        catalog.addFile("file" + std::to_string(i), 1);
    }
    catalog.endDisc();
    Fileset* large = addFileset(catalog, storagePath() + QStringLiteral("large.ktb"));

    FilesetPropertiesDialog form;
    form.fill({ item(large) });
    FilesetCountWorker* worker = form.createWorker();
    std::atomic<quint64> reported { 0 };
    // On the worker's thread: at the first report the window is closed from its own thread, and the
    // walk waits here until the window has asked it to stop.
    QObject::connect(
        worker, &FilesetCountWorker::walkProgress, worker,
        [&form, worker, &reported](quint64 records) {
            if (reported.exchange(records) != 0) {
                return;
            }
            QMetaObject::invokeMethod(
                &form, [&form] { form.reject(); }, Qt::QueuedConnection);
            while (!worker->stopRequested()) {
                std::this_thread::yield();
            }
        },
        Qt::DirectConnection);
    worker->start();
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_EQ(form.worker(), nullptr);
    EXPECT_EQ(reported.load(), FilesetCountWorker::RecordsPerReport) << "no further report after the stop";
    QApplication::processEvents();
    // The disc and the files met before the stop: the walk took no step after it.
    EXPECT_EQ(form.filesLabel->text(), QString::number(FilesetCountWorker::RecordsPerReport - 1));
    EXPECT_EQ(form.discsLabel->text(), QStringLiteral("1"));
}

} // namespace
