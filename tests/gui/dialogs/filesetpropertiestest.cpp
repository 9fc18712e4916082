// The fileset properties window: one fileset, several, a locked one, Cancel, and the counting worker,
// stopped in the middle of a walk when the window closes.
#include "tests/gui/dialogs/windowsfixture.h"

#include "core/filesets/fileset.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "gui/dialogs/filesetpropertiesdialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
    TKTBFile* music()
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
    TKTBFile* photos()
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

    static TItemData item(TKTBFile* fileset) { return TItemData { ikFileset, fileset, 0, 0 }; }

    /// Waits until the worker's totals reached the window.
    static void waitForTotals(TformKTBprop& form, const QString& files)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return form.Lab_files->text() == files; }, 10000))
            << "files shown: " << form.Lab_files->text().toStdString();
    }
};

TEST_F(FilesetPropertiesTest, OneFilesetShowsEverythingAndOkRenamesIt)
{
    TKTBFile* fileset = music();
    int result = -1;
    whenModal([&](QDialog* dialog) {
        auto* form = qobject_cast<TformKTBprop*>(dialog);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("KTB File Properties"));
        EXPECT_EQ(form->Edit2->text(), QStringLiteral("Music"));
        EXPECT_TRUE(form->Edit2->isEnabled());
        EXPECT_EQ(form->Edit1->text(), QStringLiteral("Alice"));
        EXPECT_EQ(form->Edit3->text(), fileset->FileName);
        EXPECT_TRUE(form->Edit3->isReadOnly());
        EXPECT_TRUE(form->Label2->text().isEmpty());
        EXPECT_EQ(form->Label4->text(), QStringLiteral("Used KTB Version: 0.5"));
        EXPECT_EQ(form->lab_created->text(), formatDateTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6))));
        EXPECT_EQ(form->lab_last->text(), form->lab_created->text());
        waitForTotals(*form, QStringLiteral("3"));
        EXPECT_EQ(form->lab_folders->text(), QStringLiteral("1"));
        EXPECT_EQ(form->Lab_discs->text(), QStringLiteral("2"));
        EXPECT_EQ(form->lab_bytes->text(), FormatSize(1000));
        form->Edit2->setText(QStringLiteral("Music Collection"));
        form->Edit1->setText(QStringLiteral("Anna"));
        form->Button2->click();
    });
    result = ShowFilesetProperties({ item(fileset) });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(storedDescription(fileset->FileName), QStringLiteral("Music Collection"));
    EXPECT_EQ(storedOwner(fileset->FileName), QStringLiteral("Anna"));
    EXPECT_EQ(OwnerList->IndexOfFileset(fileset), OwnerList->IndexOfName(QStringLiteral("Anna")))
        << "filed under its new owner";
    EXPECT_TRUE(m_questions->asked().empty());
}

TEST_F(FilesetPropertiesTest, SeveralFilesetsGetTheOwnerTypedAndKeepTheirNames)
{
    TKTBFile* first = music();
    TKTBFile* second = photos();
    TformKTBprop form;
    form.Fill({ item(first), item(second) });
    EXPECT_FALSE(form.Edit2->isEnabled());
    EXPECT_EQ(form.Edit2->palette().color(QPalette::Base), form.Edit2->palette().color(QPalette::Button));
    EXPECT_EQ(form.Edit2->text(), QStringLiteral("Music, Photos"));
    EXPECT_TRUE(form.Edit1->text().isEmpty());
    EXPECT_EQ(form.Label4->text(), QStringLiteral("Version: N/A"));
    EXPECT_EQ(form.lab_created->text(), QStringLiteral("N/A"));
    EXPECT_TRUE(form.Edit3->text().isEmpty());

    form.CreateWorker()->start();
    waitForTotals(form, QStringLiteral("5"));
    EXPECT_EQ(form.lab_folders->text(), QStringLiteral("2"));
    EXPECT_EQ(form.Lab_discs->text(), QStringLiteral("3"));
    EXPECT_EQ(form.lab_bytes->text(), FormatSize(6000));

    // The owner box left empty gives every fileset the empty owner.
    form.Button2->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Worker(), nullptr);
    EXPECT_TRUE(storedOwner(first->FileName).isEmpty());
    EXPECT_TRUE(storedOwner(second->FileName).isEmpty());
    EXPECT_EQ(storedDescription(first->FileName), QStringLiteral("Music"));
    EXPECT_EQ(storedDescription(second->FileName), QStringLiteral("Photos"));
}

TEST_F(FilesetPropertiesTest, ALockedFilesetIsMarkedAndDropsTheChangesSilently)
{
    CatalogBuilder catalog;
    catalog.setOwner("Alice").setName("Vault").setKey("secret");
    TKTBFile* fileset = addFileset(catalog, storagePath() + QStringLiteral("vault.ktb"));
    TformKTBprop form;
    form.Fill({ item(fileset) });
    EXPECT_EQ(form.Label2->text(), QStringLiteral("[LOCKED]"));
    form.Edit2->setText(QStringLiteral("Open Vault"));
    form.Edit1->setText(QStringLiteral("Mallory"));
    form.Button2->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(storedDescription(fileset->FileName), QStringLiteral("Vault"));
    EXPECT_EQ(storedOwner(fileset->FileName), QStringLiteral("Alice"));
    EXPECT_EQ(OwnerList->IndexOfFileset(fileset), OwnerList->IndexOfName(QStringLiteral("Alice")));
    EXPECT_EQ(OwnerList->IndexOfName(QStringLiteral("Mallory")), -1);
    EXPECT_TRUE(m_questions->asked().empty());
}

TEST_F(FilesetPropertiesTest, CancelWritesNothing)
{
    TKTBFile* fileset = music();
    const std::string before = readFileBytes(fileset->FileName.toStdString());
    TformKTBprop form;
    form.Fill({ item(fileset) });
    form.CreateWorker()->start();
    form.Edit2->setText(QStringLiteral("Something else"));
    form.Edit1->setText(QStringLiteral("Nobody"));
    form.Button1->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(form.Worker(), nullptr) << "closing released the worker";
    EXPECT_EQ(readFileBytes(fileset->FileName.toStdString()), before);
}

TEST_F(FilesetPropertiesTest, AFilesetThatCannotBeWalkedAddsNothing)
{
    TKTBFile* fileset = photos();
    TKTBFile gone(tempPath("gone.ktb"), false);
    TformKTBprop form;
    TinfoThread worker(&form, { &gone, fileset });
    worker.start();
    ASSERT_TRUE(worker.wait(10000));
    QApplication::processEvents();
    EXPECT_EQ(form.Lab_files->text(), QStringLiteral("2"));
    EXPECT_EQ(form.lab_bytes->text(), FormatSize(5000));
}

// The window closes while a large fileset is still being counted: the worker is told to stop in the
// middle of the walk and ends at its next step.
TEST_F(FilesetPropertiesTest, ClosingStopsTheCountAtItsNextStep)
{
    constexpr int fileCount = 5 * static_cast<int>(TinfoThread::RecordsPerReport);
    CatalogBuilder catalog;
    catalog.setName("Large");
    catalog.beginDisc({ .serial = 9, .title = "Everything" });
    for (int i = 0; i < fileCount; ++i) {
        catalog.addFile("file" + std::to_string(i), 1);
    }
    catalog.endDisc();
    TKTBFile* large = addFileset(catalog, storagePath() + QStringLiteral("large.ktb"));

    TformKTBprop form;
    form.Fill({ item(large) });
    TinfoThread* worker = form.CreateWorker();
    std::atomic<quint64> reported { 0 };
    // On the worker's thread: at the first report the window is closed from its own thread, and the
    // walk waits here until the window has asked it to stop.
    QObject::connect(
        worker, &TinfoThread::walkProgress, worker,
        [&form, worker, &reported](quint64 records) {
            if (reported.exchange(records) != 0) {
                return;
            }
            QMetaObject::invokeMethod(
                &form, [&form] { form.reject(); }, Qt::QueuedConnection);
            while (!worker->Terminated()) {
                std::this_thread::yield();
            }
        },
        Qt::DirectConnection);
    worker->start();
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_EQ(form.Worker(), nullptr);
    EXPECT_EQ(reported.load(), TinfoThread::RecordsPerReport) << "no further report after the stop";
    QApplication::processEvents();
    // The disc and the files met before the stop: the walk took no step after it.
    EXPECT_EQ(form.Lab_files->text(), QString::number(TinfoThread::RecordsPerReport - 1));
    EXPECT_EQ(form.Lab_discs->text(), QStringLiteral("1"));
}

} // namespace
