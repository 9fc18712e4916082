// Start-up, the first run, window geometry, the start location, panels and what closing stores.
#include "tests/gui/mainwindow/mainwindowfixture.h"

#include "core/filesets/filesetregistry.h"
#include "core/settings/settings.h"
#include "gui/mainwindow/cataloglist.h"
#include "platform/configfolder.h"

#include <QAction>
#include <QLineEdit>
#include <QScreen>
#include <QTreeView>

namespace {

using StartupTest = MainWindowFixture;

TEST_F(StartupTest, FirstRunGreetsRecordsTheStorageFolderAndDoesNotReadIt)
{
    buildStandardFilesets();
    start();

    ASSERT_EQ(m_questions->asked().size(), 1u);
    const AskedQuestion& welcome = m_questions->asked().front();
    EXPECT_EQ(welcome.caption, QStringLiteral("Welcome"));
    EXPECT_EQ(welcome.icon, MessageIcon::None);
    EXPECT_EQ(welcome.buttons, OkButton);
    EXPECT_EQ(welcome.text,
        QStringLiteral("Welcome to Katalox 3.1 Alpha 5\r\n\r\nYou should create a new fileset (F7), so you can store "
                       "your CD-information.\r\nIf you have filesets already, use the config window (F11) to set the "
                       "path to your filesets!"));
    EXPECT_TRUE(pathExists(m_temp.file("Settings.ini")));
    EXPECT_EQ(settings().stringValue(FilesetFolderSetting),
        QString::fromStdString(configFolder()) + QStringLiteral("Filesets/"));
    // The storage folder is only recorded on the first run.
    EXPECT_EQ(g_filesetRegistry->count(), 0);
    EXPECT_EQ(tree().ownersNode->childCount(), 0);
    EXPECT_EQ(window().searchEdit->text(), QStringLiteral("wav"));
    // No panel was chosen: the overlapping panels must not show through one another.
    EXPECT_EQ(window().currentPanel(), nullptr);
    EXPECT_TRUE(window().catalogView->isVisible());
    EXPECT_FALSE(window().searchPanel->isVisible());
    EXPECT_FALSE(window().resultsPanel->isVisible());
}

TEST_F(StartupTest, LaterRunRestoresGeometryStartPathTabAndSearchText)
{
    buildStandardFilesets();
    writeSettings("Left=30\r\nTop=40\r\nWidth=700\r\nHeight=500\r\nCurrentPath=alice\\music\r\nSearchPage=0\r\n"
                  "SearchString=mp3\r\n");
    start();

    EXPECT_TRUE(m_questions->asked().empty());
    EXPECT_EQ(g_filesetRegistry->count(), 4);
    EXPECT_EQ(window().x(), 30);
    EXPECT_EQ(window().y(), 40);
    EXPECT_EQ(window().width(), 700);
    EXPECT_EQ(window().height(), 500);
    NavigationNode* selected = tree().selectedNode();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->text(0), QStringLiteral("Music"));
    EXPECT_EQ(selected->item.kind, FilesetItem);
    // The owner passed on the way stays expanded; the node found is left collapsed.
    EXPECT_TRUE(selected->parent()->isExpanded());
    EXPECT_FALSE(selected->isExpanded());
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Alice\\Music\\"));
    EXPECT_EQ(window().currentPanel(), window().catalogView);
    EXPECT_EQ(g_catalogList->kind, FilesetItem);
    EXPECT_EQ(g_catalogList->rowCount(), 2);
    EXPECT_EQ(window().currentItem.kind, FilesetItem);
    EXPECT_EQ(window().resultsTabs->currentIndex(), 0);
    EXPECT_EQ(window().searchEdit->text(), QStringLiteral("mp3"));
}

TEST_F(StartupTest, MissingSizeGivesAWindowThatShowsTheListsWithinTheScreen)
{
    writeSettings();
    start();
    const QRect screen = window().screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window().frameGeometry())) << "the first window fits on the screen";
    // Larger than the minimum wherever the screen allows, so no list column starts cut.
    EXPECT_GE(window().width(), std::min(900, screen.width() - 100));
    EXPECT_GE(window().height(), std::min(600, screen.height() - 100));
}

TEST_F(StartupTest, SearchStartPathInAnyCaseShowsTheSearchPanelWithItsTextSelected)
{
    writeSettings("CurrentPath=[SEARCH]\r\nSearchString=holiday\r\n");
    start();
    EXPECT_EQ(tree().selectedNode(), tree().searchNode);
    EXPECT_EQ(window().currentPanel(), window().searchPanel);
    EXPECT_EQ(window().searchEdit->selectedText(), QStringLiteral("holiday"));
}

TEST_F(StartupTest, GoWithAPathThatNamesNothingChangesNeitherSelectionNorPanel)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=bob\\\r\n");
    start();
    NavigationNode* before = tree().selectedNode();
    ASSERT_NE(before, nullptr);
    window().pathEdit->setText(QStringLiteral("Nobody Here\\"));
    window().onGoClicked();
    EXPECT_EQ(tree().selectedNode(), before);
    EXPECT_EQ(window().currentPanel(), window().catalogView);

    window().pathEdit->setText(QString());
    window().onGoClicked();
    EXPECT_EQ(tree().selectedNode(), before);
}

TEST_F(StartupTest, ClosingStoresGeometryAndThePathOnlyWhenAsked)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=bob\\\r\nWidth=600\r\nHeight=400\r\n");
    start();
    window().pathEdit->setText(QStringLiteral("Alice\\"));
    window().onGoClicked();
    stop();
    std::string stored = readFileBytes(m_temp.file("Settings.ini"));
    EXPECT_NE(stored.find("CurrentPath=bob\\\r\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("Width=600\r\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("Height=400\r\n"), std::string::npos) << stored;

    writeSettings("CurrentPath=bob\\\r\nStartLastPath=1\r\n");
    start();
    window().pathEdit->setText(QStringLiteral("Alice\\"));
    window().onGoClicked();
    stop();
    stored = readFileBytes(m_temp.file("Settings.ini"));
    EXPECT_NE(stored.find("CurrentPath=Alice\\\r\n"), std::string::npos) << stored;
}

TEST_F(StartupTest, PanelsFollowTheTreeAndShowPanelIgnoresTheCurrentOne)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=[Root]\r\n");
    start();
    EXPECT_EQ(window().currentPanel(), window().catalogView);
    EXPECT_TRUE(window().catalogView->isVisible());
    EXPECT_FALSE(window().searchPanel->isVisible());

    tree().selectNode(tree().searchNode);
    EXPECT_EQ(window().currentPanel(), window().searchPanel);
    EXPECT_TRUE(window().searchPanel->isVisible());
    EXPECT_FALSE(window().catalogView->isVisible());
    EXPECT_FALSE(window().resultsPanel->isVisible());

    window().showPanel(window().searchPanel);
    EXPECT_TRUE(window().searchPanel->isVisible());

    tree().selectNode(node(QStringLiteral("bob\\")));
    EXPECT_EQ(window().currentPanel(), window().catalogView);
    EXPECT_FALSE(window().searchPanel->isVisible());
}

TEST_F(StartupTest, CommandTableMakesMenusAndToolBarWithCaptionsAndShortcuts)
{
    writeSettings();
    start();
    struct Expected {
        const char* name;
        const char* caption;
        const char* category;
        const char* shortcut;
    };
    const Expected expected[] = {
        { "newSearchAction", "New Search", "Edit", "F3" },
        { "viewResultsAction", "View Results", "Edit", "F4" },
        { "renameAction", "Rename", "Edit", "F2" },
        { "deleteAction", "Delete", "Edit", "" },
        { "propertiesAction", "Properties", "Edit", "" },
        { "refreshTreeAction", "Refresh Tree", "Edit", "F5" },
        { "scanDiscAction", "Scan Disc", "Tools", "F6" },
        { "newFilesetAction", "New Fileset", "File", "F7" },
        { "configureAction", "Configure", "Tools", "F11" },
        { "aboutAction", "About", "Help", "" },
        { "exitAction", "E&xit", "File", "" },
        { "statisticsAction", "Statistics..", "Tools", "Shift+Ctrl+S" },
        { "exportAction", "Export..", "Tools", "Shift+Ctrl+E" },
        { "compareAction", "Compare..", "Tools", "Shift+Ctrl+C" },
    };
    for (const Expected& command : expected) {
        QAction* action = window().action(command.name);
        ASSERT_NE(action, nullptr) << command.name;
        EXPECT_EQ(action->text(), QString::fromUtf8(command.caption)) << command.name;
        EXPECT_EQ(action->property("category").toString(), QString::fromUtf8(command.category)) << command.name;
        EXPECT_EQ(action->shortcut(), QKeySequence::fromString(QString::fromUtf8(command.shortcut))) << command.name;
    }
    EXPECT_FALSE(window().action("viewResultsAction")->isEnabled());
    EXPECT_EQ(window().action("exitAction")->statusTip(), QStringLiteral("Quits the application"));
}

} // namespace
