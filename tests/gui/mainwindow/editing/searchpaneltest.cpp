// The search panel and the results panel: the summary lines, View Results and its link, the stored
// search settings, the progress bar, stopping a search, and opening disc and file matches.
#include "tests/gui/mainwindow/editing/editfixture.h"

#include "core/filesets/fileset.h"
#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "gui/common/filesetchooser.h"
#include "gui/mainwindow/cataloglist.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
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
        window().Act_SearchExecute();
        window().Edit_Search->setText(text);
        window().Button1Click();
    }
    QAction* viewResults() { return window().action("act_results"); }
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
    EXPECT_EQ(window().CurrentPanel(), window().P_SearchResults);
    EXPECT_EQ(window().lab_result1->text(), QStringLiteral("0 Discs with matches. 0 File matches. 0 Folder matches. "));
    EXPECT_EQ(window().Lab_result2->text(), s_hint);
    EXPECT_FALSE(viewResults()->isEnabled());
    EXPECT_EQ(settings().GetStr(skSearchString), QStringLiteral("nothing like this"));

    activate();
    QTest::keyClick(&window(), Qt::Key_F4);
    EXPECT_EQ(window().CurrentPanel(), window().P_search);
    EXPECT_FALSE(window().Label7->isVisible());
}

TEST_F(SearchPanelTest, ResultsEnableViewResultsAndTheLastResultsLink)
{
    startStandard();
    search(QStringLiteral("mp3"));
    EXPECT_EQ(window().lab_result1->text(), QStringLiteral("1 Discs with matches. 2 File matches. 0 Folder matches. "));
    EXPECT_TRUE(viewResults()->isEnabled());
    // Tab 0 is active (SearchPage is missing), so the disc matches have the focus.
    EXPECT_EQ(window().PageControl1->currentIndex(), 0);
    EXPECT_EQ(window().focusWidget(), window().ListView1);
    EXPECT_EQ(window().ListView1->model()->rowCount(), 1);
    EXPECT_EQ(window().ListView2->model()->rowCount(), 2);

    window().Act_SearchExecute();
    EXPECT_EQ(window().CurrentPanel(), window().P_search);
    EXPECT_TRUE(window().Label7->isVisible());
    emit window().Label7->linkActivated(QStringLiteral("results"));
    EXPECT_EQ(window().CurrentPanel(), window().P_SearchResults);

    open(QStringLiteral("Alice\\"));
    EXPECT_EQ(window().CurrentPanel(), window().lv);
    activate();
    QTest::keyClick(&window(), Qt::Key_F4);
    EXPECT_EQ(window().CurrentPanel(), window().P_SearchResults);
}

TEST_F(SearchPanelTest, MoreFileMatchesThanTheLimitShowTheHint)
{
    CatalogBuilder many;
    many.setOwner("Eve").setName("Many");
    many.beginDisc({ .serial = 9, .title = "Sounds" });
    for (int i = 0; i <= TSearchHelper::DefaultResultLimit; ++i) {
        many.addFile("sound" + std::to_string(i) + ".wav", 1);
    }
    many.endDisc();
    ASSERT_TRUE(many.writeTo(storage() + "many.ktb"));
    writeSettings();
    start();
    search(QStringLiteral(".wav"));
    EXPECT_EQ(
        window().lab_result1->text(), QStringLiteral("1 Discs with matches. 50001 File matches. 0 Folder matches. "));
    EXPECT_EQ(window().Lab_result2->text(), QStringLiteral("Displaying the first 50000 items. ") + s_hint);
    EXPECT_EQ(window().ListView2->model()->rowCount(), 50000);
}

TEST_F(SearchPanelTest, ChooserSelectionIsStoredAndRestored)
{
    buildStandardFilesets();
    writeSettings("SearchAt=bob's filesets\r\n");
    start();
    window().Act_SearchExecute();
    auto* chooser = static_cast<TImageComboBox*>(window().ComboBoxEx1);
    EXPECT_EQ(chooser->currentText(), QStringLiteral("bob's filesets"));
    search(QStringLiteral("mp3"));
    // Only bob's filesets were searched.
    EXPECT_EQ(window().lab_result1->text(), QStringLiteral("0 Discs with matches. 0 File matches. 0 Folder matches. "));

    // The user's choice is written.
    window().Act_SearchExecute();
    const int music = chooser->findText(QStringLiteral("Music"));
    ASSERT_GT(music, 0);
    chooser->setCurrentIndex(music);
    emit chooser->activated(music);
    EXPECT_EQ(settings().GetStr(skSearchAt), QStringLiteral("Music"));
    search(QStringLiteral("mp3"));
    EXPECT_EQ(window().lab_result1->text(), QStringLiteral("1 Discs with matches. 2 File matches. 0 Folder matches. "));
}

TEST_F(SearchPanelTest, StoredChooserItemThatIsGoneFallsBackToTheFirst)
{
    buildStandardFilesets();
    writeSettings("SearchAt=Carol's filesets\r\n");
    start();
    window().Act_SearchExecute();
    EXPECT_EQ(window().ComboBoxEx1->currentIndex(), 0);
    EXPECT_EQ(window().ComboBoxEx1->currentText(), QStringLiteral("[All Filesets]"));
    // Showing the panel chooses nothing on the user's behalf.
    EXPECT_EQ(settings().GetStr(skSearchAt), QStringLiteral("Carol's filesets"));
}

TEST_F(SearchPanelTest, ActiveTabIsStoredAndComesBackAtTheNextStart)
{
    startStandard();
    window().PageControl1->setCurrentIndex(1);
    EXPECT_EQ(settings().GetInt(skSearchPage), 1);
    search(QStringLiteral("mp3"));
    EXPECT_EQ(window().focusWidget(), window().ListView2);
    stop();
    start();
    EXPECT_EQ(window().PageControl1->currentIndex(), 1);
    EXPECT_EQ(window().Edit_Search->text(), QStringLiteral("mp3"));
}

TEST_F(SearchPanelTest, ProgressBarStaysAtZeroForCatalogsWithoutRecordsAndGoesAwayAfterwards)
{
    CatalogBuilder none;
    none.setOwner("Eve");
    ASSERT_TRUE(none.writeTo(storage() + "none1.ktb"));
    ASSERT_TRUE(none.writeTo(storage() + "none2.ktb"));
    writeSettings();
    start();
    QSignalSpy progress(window().ProgressBar1, &QProgressBar::valueChanged);
    search(QStringLiteral("x"));
    EXPECT_TRUE(progress.isEmpty());
    EXPECT_FALSE(window().ProgressBar1->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SearchPanelTest, ProgressBarAdvancesToTheEnd)
{
    startStandard();
    QSignalSpy progress(window().ProgressBar1, &QProgressBar::valueChanged);
    search(QStringLiteral("mp3"));
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last().at(0).toInt(), 100);
    EXPECT_FALSE(window().ProgressBar1->isVisible());
}

TEST_F(SearchPanelTest, EscapeStopsTheSearch)
{
    startStandard();
    window().Act_SearchExecute();
    window().Edit_Search->setText(QStringLiteral("mp3"));
    // Waiting for the window when the search reports its start.
    QCoreApplication::postEvent(window().Edit_Search, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    window().Button1Click();
    EXPECT_TRUE(SearchHelper->Cancelled());
    EXPECT_EQ(window().Lab_result2->text(), QStringLiteral("The search was stopped. ") + s_hint);
    EXPECT_FALSE(viewResults()->isEnabled());
}

TEST_F(SearchPanelTest, FailingSearchRestoresCursorAndProgressBar)
{
    startStandard();
    window().Act_SearchExecute();
    window().Edit_Search->setText(QStringLiteral("mp3"));
    // A folder where the catalog was: it can no longer be opened.
    fileset(QStringLiteral("music.ktb"))->Close();
    std::filesystem::remove(storage() + "music.ktb");
    std::filesystem::create_directory(storage() + "music.ktb");
    window().Button1->click();
    ASSERT_EQ(m_questions->asked().size(), 1u);
    EXPECT_EQ(m_questions->asked().front().icon, TMsgIcon::Error);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(window().ProgressBar1->isVisible());
    EXPECT_EQ(window().CurrentPanel(), window().P_search);
}

TEST_F(SearchPanelTest, DiscAndFileMatchesOpenInTheTreeAndTheList)
{
    startStandard();
    search(QStringLiteral("mp3"));
    selectResult(window().ListView1, QStringLiteral("Disc 1"));
    window().ListView1DblClick();
    EXPECT_EQ(window().Edit1->text(), QStringLiteral("Alice\\Music\\Disc 1\\"));
    EXPECT_EQ(window().CurrentPanel(), window().lv);

    window().act_resultsExecute();
    // Right and Left switch the tabs; Enter opens the selected match.
    QTest::keyClick(window().ListView1, Qt::Key_Right);
    EXPECT_EQ(window().PageControl1->currentIndex(), 1);
    QTest::keyClick(window().ListView2, Qt::Key_Left);
    EXPECT_EQ(window().PageControl1->currentIndex(), 0);
    window().PageControl1->setCurrentIndex(1);
    selectResult(window().ListView2, QStringLiteral("song.mp3"));
    QTest::keyClick(window().ListView2, Qt::Key_Return);
    EXPECT_EQ(window().Edit1->text(), QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    EXPECT_EQ(window().CurrentPanel(), window().lv);
    EXPECT_EQ(window().focusWidget(), window().lv);
    const QModelIndexList selected = window().lv->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(ListHelper->RowCaption(selected.front().row()), QStringLiteral("song.mp3"));
}

TEST_F(SearchPanelTest, FileMatchWhoseRowIsGoneOpensItsFolder)
{
    startStandard();
    search(QStringLiteral("song"));
    // The same catalog with the file named otherwise (same length, so every offset stays).
    TKTBFile* music = fileset(QStringLiteral("music.ktb"));
    music->Close();
    std::string bytes = readFileBytes(storage() + "music.ktb");
    const auto at = bytes.find("song.mp3");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 8, "tune.mp3");
    ASSERT_TRUE(writeFileBytes(storage() + "music.ktb", bytes));

    window().PageControl1->setCurrentIndex(1);
    selectResult(window().ListView2, QStringLiteral("song.mp3"));
    window().ListView2DblClick();
    EXPECT_EQ(window().Edit1->text(), QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    EXPECT_EQ(window().CurrentPanel(), window().lv);
    EXPECT_TRUE(rows().contains(QStringLiteral("tune.mp3")));
    EXPECT_TRUE(window().lv->selectionModel()->selectedRows().isEmpty());
}

TEST_F(SearchPanelTest, DeletingTheFilesetOfEveryResultDisablesViewResults)
{
    startStandard();
    search(QStringLiteral("mp3"));
    ASSERT_TRUE(viewResults()->isEnabled());
    open(QStringLiteral("Alice\\Music\\"));
    focusTree();
    m_questions->answerMessage(mbYes);
    window().act_deleteExecute();
    EXPECT_FALSE(SearchHelper->HasResults());
    EXPECT_FALSE(viewResults()->isEnabled());
}

} // namespace
