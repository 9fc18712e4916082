// The search panel and the results panel: the summary lines, View Results and its link, the stored
// search settings, the progress bar, stopping a search, and opening disc and file matches.
#include "tests/gui/mainwindow/editing/editfixture.h"

#include "core/filesets/fileset.h"
#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "gui/common/filesetchooser.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/search/searchfilterrow.h"
#include "gui/search/searchresultmodel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <filesystem>

namespace {

const QString s_hint = QStringLiteral("To do another search, click the \"new search\" button or press F3.");

class SearchPanelTest : public EditFixture {
protected:
    void search(const QString& text)
    {
        window().newSearch();
        window().searchEdit->setText(text);
        window().onSearchClicked();
    }
    QAction* viewResults() { return window().action("viewResultsAction"); }
    /// Selects the row of a result list whose first cell is text.
    void selectResult(QTreeView* view, const QString& text)
    {
        const QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 0).data().toString() == text) {
                view->selectionModel()->setCurrentIndex(
                    model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                return;
            }
        }
        FAIL() << "no result " << text.toStdString();
    }
    void activate()
    {
        window().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    }
};

TEST_F(SearchPanelTest, SearchWithoutMatchesLeavesViewResultsDisabledAndF4OpensTheSearchPanel)
{
    startStandard();
    EXPECT_FALSE(viewResults()->isEnabled());
    search(QStringLiteral("nothing like this"));
    EXPECT_EQ(window().currentPanel(), window().resultsPanel);
    EXPECT_EQ(
        window().discSummaryLabel->text(), QStringLiteral("0 Discs with matches. 0 File matches. 0 Folder matches. "));
    EXPECT_EQ(window().fileSummaryLabel->text(), s_hint);
    EXPECT_FALSE(viewResults()->isEnabled());
    EXPECT_EQ(settings().stringValue(SearchStringSetting), QStringLiteral("nothing like this"));

    activate();
    QTest::keyClick(&window(), Qt::Key_F4);
    EXPECT_EQ(window().currentPanel(), window().searchPanel);
    EXPECT_FALSE(window().lastResultsLabel->isVisible());
}

TEST_F(SearchPanelTest, ResultsEnableViewResultsAndTheLastResultsLink)
{
    startStandard();
    search(QStringLiteral("mp3"));
    EXPECT_EQ(
        window().discSummaryLabel->text(), QStringLiteral("1 Discs with matches. 2 File matches. 0 Folder matches. "));
    EXPECT_TRUE(viewResults()->isEnabled());
    // Tab 0 is active (SearchPage is missing), so the disc matches have the focus.
    EXPECT_EQ(window().resultsTabs->currentIndex(), 0);
    EXPECT_EQ(window().focusWidget(), window().discResultsView);
    EXPECT_EQ(window().discResultsView->model()->rowCount(), 1);
    EXPECT_EQ(window().fileResultsView->model()->rowCount(), 2);

    window().newSearch();
    EXPECT_EQ(window().currentPanel(), window().searchPanel);
    EXPECT_TRUE(window().lastResultsLabel->isVisible());
    emit window().lastResultsLabel->linkActivated(QStringLiteral("results"));
    EXPECT_EQ(window().currentPanel(), window().resultsPanel);

    open(QStringLiteral("Alice\\"));
    EXPECT_EQ(window().currentPanel(), window().catalogView);
    activate();
    QTest::keyClick(&window(), Qt::Key_F4);
    EXPECT_EQ(window().currentPanel(), window().resultsPanel);
}

TEST_F(SearchPanelTest, MoreFileMatchesThanTheLimitShowTheHint)
{
    CatalogBuilder many;
    many.setOwner("Eve").setName("Many");
    many.beginDisc({ .serial = 9, .title = "Sounds" });
    for (int i = 0; i <= CatalogSearch::DefaultResultLimit; ++i) {
        many.addFile("sound" + std::to_string(i) + ".wav", 1);
    }
    many.endDisc();
    ASSERT_TRUE(many.writeTo(storage() + "many.ktb"));
    writeSettings();
    start();
    search(QStringLiteral(".wav"));
    EXPECT_EQ(window().discSummaryLabel->text(),
        QStringLiteral("1 Discs with matches. 50001 File matches. 0 Folder matches. "));
    EXPECT_EQ(window().fileSummaryLabel->text(), QStringLiteral("Displaying the first 50000 items. ") + s_hint);
    EXPECT_EQ(window().fileResultsView->model()->rowCount(), 50000);
}

TEST_F(SearchPanelTest, ChooserSelectionIsStoredAndRestored)
{
    buildStandardFilesets();
    writeSettings("SearchAt=bob's filesets\r\n");
    start();
    window().newSearch();
    auto* chooser = static_cast<FilesetChooser*>(window().searchScopeChooser);
    EXPECT_EQ(chooser->currentText(), QStringLiteral("bob's filesets"));
    search(QStringLiteral("mp3"));
    // Only bob's filesets were searched.
    EXPECT_EQ(
        window().discSummaryLabel->text(), QStringLiteral("0 Discs with matches. 0 File matches. 0 Folder matches. "));

    // The user's choice is written.
    window().newSearch();
    const int music = chooser->findText(QStringLiteral("Music"));
    ASSERT_GT(music, 0);
    chooser->setCurrentIndex(music);
    emit chooser->activated(music);
    EXPECT_EQ(settings().stringValue(SearchAtSetting), QStringLiteral("Music"));
    search(QStringLiteral("mp3"));
    EXPECT_EQ(
        window().discSummaryLabel->text(), QStringLiteral("1 Discs with matches. 2 File matches. 0 Folder matches. "));
}

TEST_F(SearchPanelTest, StoredChooserItemThatIsGoneFallsBackToTheFirst)
{
    buildStandardFilesets();
    writeSettings("SearchAt=Carol's filesets\r\n");
    start();
    window().newSearch();
    EXPECT_EQ(window().searchScopeChooser->currentIndex(), 0);
    EXPECT_EQ(window().searchScopeChooser->currentText(), QStringLiteral("[All Filesets]"));
    // Showing the panel chooses nothing on the user's behalf.
    EXPECT_EQ(settings().stringValue(SearchAtSetting), QStringLiteral("Carol's filesets"));
}

TEST_F(SearchPanelTest, ActiveTabIsStoredAndComesBackAtTheNextStart)
{
    startStandard();
    window().resultsTabs->setCurrentIndex(1);
    EXPECT_EQ(settings().intValue(SearchPageSetting), 1);
    search(QStringLiteral("mp3"));
    EXPECT_EQ(window().focusWidget(), window().fileResultsView);
    stop();
    start();
    EXPECT_EQ(window().resultsTabs->currentIndex(), 1);
    EXPECT_EQ(window().searchEdit->text(), QStringLiteral("mp3"));
}

TEST_F(SearchPanelTest, ProgressBarStaysAtZeroForCatalogsWithoutRecordsAndGoesAwayAfterwards)
{
    CatalogBuilder none;
    none.setOwner("Eve");
    ASSERT_TRUE(none.writeTo(storage() + "none1.ktb"));
    ASSERT_TRUE(none.writeTo(storage() + "none2.ktb"));
    writeSettings();
    start();
    QSignalSpy progress(window().searchProgressBar, &QProgressBar::valueChanged);
    search(QStringLiteral("x"));
    EXPECT_TRUE(progress.isEmpty());
    EXPECT_FALSE(window().searchProgressBar->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SearchPanelTest, ProgressBarAdvancesToTheEnd)
{
    startStandard();
    QSignalSpy progress(window().searchProgressBar, &QProgressBar::valueChanged);
    search(QStringLiteral("mp3"));
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last().at(0).toInt(), 100);
    EXPECT_FALSE(window().searchProgressBar->isVisible());
}

TEST_F(SearchPanelTest, EscapeStopsTheSearch)
{
    startStandard();
    window().newSearch();
    window().searchEdit->setText(QStringLiteral("mp3"));
    // Waiting for the window when the search reports its start.
    QCoreApplication::postEvent(window().searchEdit, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    window().onSearchClicked();
    EXPECT_TRUE(g_catalogSearch->wasCancelled());
    EXPECT_EQ(window().fileSummaryLabel->text(), QStringLiteral("The search was stopped. ") + s_hint);
    EXPECT_FALSE(viewResults()->isEnabled());
}

TEST_F(SearchPanelTest, CatalogThatCannotBeOpenedIsNamedAsNotSearchedAndTheOthersAreSearched)
{
    startStandard();
    window().newSearch();
    window().searchEdit->setText(QStringLiteral("jpg"));
    // A folder where the catalog was: it can no longer be opened.
    fileset(QStringLiteral("music.ktb"))->close();
    std::filesystem::remove(storage() + "music.ktb");
    std::filesystem::create_directory(storage() + "music.ktb");
    window().searchButton->click();
    EXPECT_TRUE(m_questions->asked().empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(window().searchProgressBar->isVisible());
    EXPECT_EQ(window().currentPanel(), window().resultsPanel);
    EXPECT_EQ(window().fileResultsView->model()->rowCount(), 1);
    EXPECT_EQ(window().fileSummaryLabel->text(), s_hint + QStringLiteral("\nNot searched: music.ktb"));
}

TEST_F(SearchPanelTest, DiscAndFileMatchesOpenInTheTreeAndTheList)
{
    startStandard();
    search(QStringLiteral("mp3"));
    selectResult(window().discResultsView, QStringLiteral("Disc 1"));
    window().onDiscResultDoubleClicked();
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Alice\\Music\\Disc 1\\"));
    EXPECT_EQ(window().currentPanel(), window().catalogView);

    window().viewLastResults();
    // Right and Left switch the tabs; Enter opens the selected match.
    QTest::keyClick(window().discResultsView, Qt::Key_Right);
    EXPECT_EQ(window().resultsTabs->currentIndex(), 1);
    QTest::keyClick(window().fileResultsView, Qt::Key_Left);
    EXPECT_EQ(window().resultsTabs->currentIndex(), 0);
    window().resultsTabs->setCurrentIndex(1);
    selectResult(window().fileResultsView, QStringLiteral("song.mp3"));
    QTest::keyClick(window().fileResultsView, Qt::Key_Return);
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    EXPECT_EQ(window().currentPanel(), window().catalogView);
    EXPECT_EQ(window().focusWidget(), window().catalogView);
    const QModelIndexList selected = window().catalogView->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(g_catalogList->rowCaption(selected.front().row()), QStringLiteral("song.mp3"));
}

TEST_F(SearchPanelTest, FilterRowNarrowsTheSearchWhileOpenAndRefusesWhatItCannotRead)
{
    startStandard();
    window().newSearch();
    window().filtersCheck->setChecked(true);
    SearchFilterRow* filters = window().searchFilters;
    EXPECT_TRUE(filters->isVisibleTo(window().searchPanel));
    filters->minSizeEdit->setText(QStringLiteral("5"));
    filters->minSizeUnit->setCurrentIndex(filters->minSizeUnit->findText(QStringLiteral("KiB")));
    search(QStringLiteral("mp3")); // song.mp3 has 4000 bytes, concert.mp3 9000
    EXPECT_EQ(
        window().discSummaryLabel->text(), QStringLiteral("1 Discs with matches. 1 File matches. 0 Folder matches. "));

    window().newSearch();
    filters->fromEdit->setText(QStringLiteral("not a day"));
    window().onSearchClicked();
    ASSERT_EQ(m_questions->messageTexts().size(), 1);
    EXPECT_TRUE(m_questions->messageTexts().front().startsWith(QStringLiteral("A day is written as ")));
    EXPECT_EQ(window().currentPanel(), window().searchPanel) << "nothing was searched";

    // Closed, the row does not filter.
    window().filtersCheck->setChecked(false);
    search(QStringLiteral("mp3"));
    EXPECT_EQ(
        window().discSummaryLabel->text(), QStringLiteral("1 Discs with matches. 2 File matches. 0 Folder matches. "));
}

TEST_F(SearchPanelTest, HeaderClickSortsTheFileMatchesAndTheSortedRowOpens)
{
    startStandard();
    search(QStringLiteral("mp3"));
    window().resultsTabs->setCurrentIndex(1);
    const auto* model = static_cast<const SearchResultModel*>(window().fileResultsView->model());
    EXPECT_EQ(model->sortColumn(), -1) << "the search's order until a header is clicked";
    EXPECT_EQ(model->headerData(4, Qt::Horizontal).toString(), QStringLiteral("In folder"));
    window().fileResultsView->header()->setSortIndicator(2, Qt::DescendingOrder); // as a click on "Size"
    EXPECT_EQ(model->sortColumn(), 2);
    EXPECT_EQ(model->index(0, 0).data().toString(), QStringLiteral("concert.mp3"));
    EXPECT_EQ(model->index(0, 4).data().toString(), QStringLiteral("\\Rock\\Live"));
    window().fileResultsView->selectionModel()->setCurrentIndex(
        model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window().onFileResultDoubleClicked();
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Alice\\Music\\Disc 1\\Rock\\Live\\"));
}

TEST_F(SearchPanelTest, FileMatchWhoseRowIsGoneOpensItsFolder)
{
    startStandard();
    search(QStringLiteral("song"));
    // The same catalog with the file named otherwise (same length, so every offset stays).
    Fileset* music = fileset(QStringLiteral("music.ktb"));
    music->close();
    std::string bytes = readFileBytes(storage() + "music.ktb");
    const auto at = bytes.find("song.mp3");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 8, "tune.mp3");
    ASSERT_TRUE(writeFileBytes(storage() + "music.ktb", bytes));

    window().resultsTabs->setCurrentIndex(1);
    selectResult(window().fileResultsView, QStringLiteral("song.mp3"));
    window().onFileResultDoubleClicked();
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    EXPECT_EQ(window().currentPanel(), window().catalogView);
    EXPECT_TRUE(rows().contains(QStringLiteral("tune.mp3")));
    EXPECT_TRUE(window().catalogView->selectionModel()->selectedRows().isEmpty());
}

TEST_F(SearchPanelTest, DeletingTheFilesetOfEveryResultDisablesViewResults)
{
    startStandard();
    search(QStringLiteral("mp3"));
    ASSERT_TRUE(viewResults()->isEnabled());
    open(QStringLiteral("Alice\\Music\\"));
    focusTree();
    m_questions->answerMessage(YesButton);
    window().deleteSelection();
    EXPECT_FALSE(g_catalogSearch->hasResults());
    EXPECT_FALSE(viewResults()->isEnabled());
}

} // namespace
