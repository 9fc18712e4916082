// The main window as a desktop program: a catalog opened from outside (`katalox FILE`, a drop), a
// deleted fileset brought back, the layout kept across restarts, sorting by a header click and the
// status bar's count and size.
#include "tests/gui/mainwindow/mainwindowfixture.h"

#include "core/catalog/catalogchanges.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/filesetregistry.h"
#include "core/settings/settings.h"
#include "core/text/formatsize.h"
#include "gui/common/columnwidths.h"
#include "gui/mainwindow/cataloglist.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <filesystem>

namespace {

class DesktopTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        buildStandardFilesets();
        writeSettings("CurrentPath=[Root]\r\n");
    }

    /// A catalog of its own outside the storage folder.
    QString outsideCatalog(const std::string& name, const std::string& owner, const std::string& description)
    {
        std::filesystem::create_directories(m_outside.path());
        CatalogBuilder catalog;
        catalog.setOwner(owner).setName(description);
        catalog.addEmptyDisc({ .serial = 0x77, .title = "Outside disc" });
        EXPECT_TRUE(catalog.writeTo(m_outside.file(name)));
        return QString::fromStdString(m_outside.file(name));
    }

    QStringList captions() const
    {
        QStringList texts;
        for (int row = 0; row < g_catalogList->rowCount(); ++row) {
            texts << g_catalogList->rowCaption(row);
        }
        return texts;
    }

    TempFolder m_outside;
};

TEST_F(DesktopTest, ACatalogOpenedFromOutsideIsKeptAmongTheLocationsOnceAndShown)
{
    start();
    const QString catalog = outsideCatalog("cds.ktb", "Carol", "Old CDs");
    window().openCatalogFile(catalog);

    ASSERT_GE(g_filesetRegistry->indexOfPath(catalog), 0);
    NavigationNode* selected = tree().selectedNode();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->item.kind, FilesetItem);
    EXPECT_EQ(selected->item.ref, g_filesetRegistry->at(g_filesetRegistry->indexOfPath(catalog)));
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Carol\\Old CDs\\"));
    EXPECT_EQ(captions(), QStringList { QStringLiteral("Outside disc") });
    EXPECT_NE(readFileBytes(m_temp.file("ktblist.lst")).find(m_outside.file("cds.ktb")), std::string::npos)
        << "kept for the next start at once";

    // Again, and a catalog of the storage folder: nothing is added twice.
    int filesets = g_filesetRegistry->count();
    window().openCatalogFile(catalog);
    window().openCatalogFile(storagePath() + QStringLiteral("photos.ktb"));
    EXPECT_EQ(g_filesetRegistry->count(), filesets);
    EXPECT_EQ(g_filesetRegistry->locations, QStringList { catalog });
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("bob\\Photos\\"));

    // What is not a catalog is refused with the catalog's error and registers nothing.
    ASSERT_TRUE(writeFileBytes(m_outside.file("notes.ktb"), "just some text"));
    EXPECT_THROW(window().openCatalogFile(QString::fromStdString(m_outside.file("notes.ktb"))), CatalogError);
    EXPECT_THROW(window().openCatalogFile(QString::fromStdString(m_outside.file("missing.ktb"))), CatalogError);
    EXPECT_EQ(g_filesetRegistry->count(), filesets);
    EXPECT_EQ(g_filesetRegistry->locations, QStringList { catalog });
    // A new file in a managed folder is found there at every start: no location of its own.
    const QString folder = QString::fromStdString(m_outside.file("folder"));
    std::filesystem::create_directories(folder.toStdString());
    g_filesetRegistry->locations.append(folder);
    CatalogBuilder later;
    later.setOwner("Carol").setName("Later");
    ASSERT_TRUE(later.writeTo(m_outside.file("folder/later.ktb")));
    window().openCatalogFile(folder + QStringLiteral("/later.ktb"));
    EXPECT_EQ(g_filesetRegistry->count(), ++filesets);
    EXPECT_EQ(g_filesetRegistry->locations, (QStringList { catalog, folder }));
}

TEST_F(DesktopTest, DroppedFilesAreTakenOnlyWhenTheyExistLocally)
{
    QMimeData data;
    data.setUrls({ QUrl(QStringLiteral("https://example.org/disc.iso")),
        QUrl::fromLocalFile(QString::fromStdString(m_temp.file("missing.iso"))),
        QUrl::fromLocalFile(storagePath() + QStringLiteral("music.ktb")) });
    EXPECT_EQ(MainWindow::droppedPath(&data), storagePath() + QStringLiteral("music.ktb"));
    data.setUrls({ QUrl(QStringLiteral("https://example.org/disc.iso")) });
    EXPECT_EQ(MainWindow::droppedPath(&data), QString());
    QMimeData text;
    text.setText(storagePath());
    EXPECT_EQ(MainWindow::droppedPath(&text), QString());
}

TEST_F(DesktopTest, ADeletedFilesetComesBackUnderItsNameOrOneTheUserPicks)
{
    start();
    const QString music = storagePath() + QStringLiteral("music.ktb");
    const QString photos = storagePath() + QStringLiteral("photos.ktb");
    for (const QString& path : { music, photos }) {
        window().forgetRegistryObjects();
        deleteFileset(*g_filesetRegistry, g_filesetRegistry->at(g_filesetRegistry->indexOfPath(path)));
    }

    ASSERT_TRUE(window().restoreFileset(music + QStringLiteral(".bak")));
    EXPECT_TRUE(m_questions->asked().empty());
    ASSERT_GE(g_filesetRegistry->indexOfPath(music), 0);
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Alice\\Music\\"));
    EXPECT_EQ(captions(), (QStringList { QStringLiteral("Audio"), QStringLiteral("Disc 1") }));
    EXPECT_TRUE(g_filesetRegistry->locations.isEmpty()) << "the storage folder is read at every start anyway";

    // A new file took the name meanwhile: it stays, and the user names the restored one.
    CatalogBuilder newer;
    newer.setOwner("bob").setName("New Photos");
    ASSERT_TRUE(newer.writeTo(storage() + "photos.ktb"));
    m_questions->answerSaveFileName(QString());
    EXPECT_FALSE(window().restoreFileset(photos + QStringLiteral(".bak")));
    EXPECT_TRUE(pathExists(storage() + "photos.ktb.bak")) << "cancelled: nothing changed";

    m_questions->clearAsked();
    m_questions->answerSaveFileName(storagePath() + QStringLiteral("photos 2003"));
    ASSERT_TRUE(window().restoreFileset(photos + QStringLiteral(".bak")));
    ASSERT_EQ(m_questions->asked().size(), 2u);
    EXPECT_EQ(m_questions->asked()[0].kind, QuestionKind::MessageBox);
    EXPECT_TRUE(m_questions->asked()[0].text.startsWith(photos)) << m_questions->asked()[0].text.toStdString();
    EXPECT_EQ(m_questions->asked()[1].kind, QuestionKind::SaveFileName);
    EXPECT_EQ(readFileBytes(storage() + "photos.ktb"), newer.bytes());
    EXPECT_FALSE(pathExists(storage() + "photos.ktb.bak"));
    ASSERT_GE(g_filesetRegistry->indexOfPath(storagePath() + QStringLiteral("photos 2003.ktb")), 0);
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("bob\\Photos\\"));
    EXPECT_EQ(captions(), QStringList { QStringLiteral("Holiday 2003") });
}

TEST_F(DesktopTest, SplitterAndColumnWidthsOfEveryListAreKeptAcrossRestarts)
{
    start();
    window().pathEdit->setText(QStringLiteral("Alice\\Music\\"));
    window().onGoClicked();
    QHeaderView* header = window().catalogView->header();
    header->resizeSection(1, 171);
    window().pathEdit->setText(QStringLiteral("Alice\\Music\\Disc 1\\"));
    window().onGoClicked(); // another layout: the discs' widths are kept now
    header->resizeSection(2, 199);
    window().splitter->setSizes({ 333, 400 });
    window().fileResultsView->header()->resizeSection(1, 155);
    stop();

    start();
    window().pathEdit->setText(QStringLiteral("Alice\\Music\\"));
    window().onGoClicked();
    EXPECT_EQ(window().catalogView->header()->sectionSize(1), 171);
    window().pathEdit->setText(QStringLiteral("Alice\\Music\\Disc 1\\"));
    window().onGoClicked();
    EXPECT_EQ(window().catalogView->header()->sectionSize(2), 199);
    EXPECT_EQ(window().splitter->sizes().value(0), 333);
    EXPECT_EQ(window().fileResultsView->header()->sectionSize(1), 155);
    stop();

    // Damaged values are not taken: no column narrower than its caption, no garbage.
    EXPECT_EQ(parseColumnWidths(QStringLiteral("200, 80,90")), (QList<int> { 200, 80, 90 }));
    EXPECT_TRUE(parseColumnWidths(QStringLiteral("200,x,90")).isEmpty());
    EXPECT_TRUE(parseColumnWidths(QStringLiteral("200,-5")).isEmpty());
    writeSettings("CurrentPath=alice\\music\r\nDiscsColumns=100,1,1\r\n");
    start();
    for (int section = 1; section < 3; ++section) {
        EXPECT_GE(window().catalogView->header()->sectionSize(section),
            captionWidth(window().catalogView->header(), section));
    }
}

TEST_F(DesktopTest, ANameWiderThanTheTreeScrollsSidewaysInsteadOfBeingCut)
{
    start();
    window().splitter->setSizes({ 120, 600 });
    window().pathEdit->setText(QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    window().onGoClicked();
    NavigationNode* rock = tree().selectedNode();
    ASSERT_NE(rock, nullptr);
    const QString longName = QStringLiteral("Rock and the very long name of a folder no narrow tree shows whole");
    rock->setText(0, longName);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return tree().header()->sectionSize(0) > tree().fontMetrics().horizontalAdvance(longName); }));
    EXPECT_GT(tree().header()->sectionSize(0), tree().viewport()->width());
    const int wide = tree().header()->sectionSize(0);
    rock->setText(0, QStringLiteral("Rock"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tree().header()->sectionSize(0) < wide; })) << "it narrows again";
    EXPECT_GE(tree().header()->sectionSize(0), tree().viewport()->width()) << "selections span the view";
}

TEST_F(DesktopTest, AHeaderClickSortsKeepsGroupsAndSelectionAndAThirdClickGoesBack)
{
    start();
    window().pathEdit->setText(QStringLiteral("Alice\\Music\\Disc 1\\"));
    window().onGoClicked();
    const QStringList own = { QStringLiteral("Jazz"), QStringLiteral("Rock"), QStringLiteral("readme.txt") };
    ASSERT_EQ(captions(), own);
    QTreeView* view = window().catalogView;
    view->sortByColumn(0, Qt::DescendingOrder);
    EXPECT_EQ(
        captions(), (QStringList { QStringLiteral("Rock"), QStringLiteral("Jazz"), QStringLiteral("readme.txt") }))
        << "folders stay before files";
    EXPECT_EQ(g_catalogList->findRow(QStringLiteral("JAZZ")), 1);

    // The discs of a fileset by used space: the selected row is still the disc it shows.
    window().pathEdit->setText(QStringLiteral("Alice\\Music\\"));
    window().onGoClicked();
    EXPECT_EQ(captions(), (QStringList { QStringLiteral("Audio"), QStringLiteral("Disc 1") }))
        << "another layout starts in its own order";
    view->selectionModel()->select(
        view->model()->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->sortByColumn(1, Qt::DescendingOrder);
    EXPECT_EQ(captions(), (QStringList { QStringLiteral("Disc 1"), QStringLiteral("Audio") }));
    ItemRefs selected;
    ASSERT_TRUE(g_catalogList->selection(selected));
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(selected[0].offset, m_disc1);
    window().onCatalogViewDoubleClicked();
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Alice\\Music\\Disc 1\\"));

    window().pathEdit->setText(QStringLiteral("Alice\\Music\\"));
    window().onGoClicked();
    view->header()->setSortIndicator(-1, Qt::AscendingOrder);
    EXPECT_EQ(captions(), (QStringList { QStringLiteral("Audio"), QStringLiteral("Disc 1") }));
}

TEST_F(DesktopTest, TheStatusBarCountsTheListOrItsSelectionWithTheirSize)
{
    start();
    window().pathEdit->setText(QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    window().onGoClicked();
    const QString list = window().listSummaryLabel->text();
    EXPECT_TRUE(list.startsWith(QStringLiteral("2 items"))) << list.toStdString(); // Live and song.mp3
    EXPECT_TRUE(list.endsWith(formatSize(4000))) << list.toStdString();

    window().pathEdit->setText(QStringLiteral("Alice\\Music\\Disc 1\\"));
    window().onGoClicked();
    QTreeView* view = window().catalogView;
    view->selectionModel()->select(
        view->model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_TRUE(window().listSummaryLabel->text().startsWith(QStringLiteral("3 items"))) << "one row is no selection";
    view->selectionModel()->select(view->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QString selection = window().listSummaryLabel->text();
    EXPECT_TRUE(selection.startsWith(QStringLiteral("2 items selected"))) << selection.toStdString();
    EXPECT_TRUE(selection.endsWith(formatSize(100))) << selection.toStdString();
}

} // namespace
