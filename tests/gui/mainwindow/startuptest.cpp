// Start-up, the first run, window geometry, the start location, panels and what closing stores.
#include "tests/gui/mainwindow/mainwindowfixture.h"

#include "core/filesets/fileset.h"
#include "core/settings/settings.h"
#include "gui/mainwindow/cataloglist.h"
#include "platform/configfolder.h"

#include <QAction>
#include <QLineEdit>
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
    EXPECT_EQ(welcome.icon, TMsgIcon::None);
    EXPECT_EQ(welcome.buttons, mbOK);
    EXPECT_EQ(welcome.text,
        QStringLiteral("Welcome to Katalox 3.1 Alpha 5\r\n\r\nYou should create a new fileset (F7), so you can store "
                       "your CD-information.\r\nIf you have filesets already, use the config window (F11) to set the "
                       "path to your filesets!"));
    EXPECT_TRUE(pathExists(m_temp.file("Settings.ini")));
    EXPECT_EQ(settings().GetStr(skFilesetFolder), QString::fromStdString(configFolder()) + QStringLiteral("Filesets/"));
    // The storage folder is only recorded on the first run.
    EXPECT_EQ(FilesetList->Count(), 0);
    EXPECT_EQ(tree().OwnersNode->childCount(), 0);
    EXPECT_EQ(window().Edit_Search->text(), QStringLiteral("wav"));
    // No panel was chosen: the overlapping panels must not show through one another.
    EXPECT_EQ(window().CurrentPanel(), nullptr);
    EXPECT_TRUE(window().lv->isVisible());
    EXPECT_FALSE(window().P_search->isVisible());
    EXPECT_FALSE(window().P_SearchResults->isVisible());
}

TEST_F(StartupTest, LaterRunRestoresGeometryStartPathTabAndSearchText)
{
    buildStandardFilesets();
    writeSettings("Left=30\r\nTop=40\r\nWidth=700\r\nHeight=500\r\nCurrentPath=alice\\music\r\nSearchPage=0\r\n"
                  "SearchString=mp3\r\n");
    start();

    EXPECT_TRUE(m_questions->asked().empty());
    EXPECT_EQ(FilesetList->Count(), 4);
    EXPECT_EQ(window().x(), 30);
    EXPECT_EQ(window().y(), 40);
    EXPECT_EQ(window().width(), 700);
    EXPECT_EQ(window().height(), 500);
    TTreeNode* selected = tree().selectedNode();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->text(0), QStringLiteral("Music"));
    EXPECT_EQ(selected->Data.Kind, ikFileset);
    // The owner passed on the way stays expanded; the node found is left collapsed.
    EXPECT_TRUE(selected->parent()->isExpanded());
    EXPECT_FALSE(selected->isExpanded());
    EXPECT_EQ(window().Edit1->text(), QStringLiteral("Alice\\Music\\"));
    EXPECT_EQ(window().CurrentPanel(), window().lv);
    EXPECT_EQ(ListHelper->Kind, ikFileset);
    EXPECT_EQ(ListHelper->RowCount(), 2);
    EXPECT_EQ(window().CurrentItem.Kind, ikFileset);
    EXPECT_EQ(window().PageControl1->currentIndex(), 0);
    EXPECT_EQ(window().Edit_Search->text(), QStringLiteral("mp3"));
}

TEST_F(StartupTest, MissingSizeGivesTheMinimumSize)
{
    writeSettings();
    start();
    EXPECT_EQ(window().width(), 420);
    EXPECT_EQ(window().height(), 240);
}

TEST_F(StartupTest, SearchStartPathInAnyCaseShowsTheSearchPanelWithItsTextSelected)
{
    writeSettings("CurrentPath=[SEARCH]\r\nSearchString=holiday\r\n");
    start();
    EXPECT_EQ(tree().selectedNode(), tree().SearchNode);
    EXPECT_EQ(window().CurrentPanel(), window().P_search);
    EXPECT_EQ(window().Edit_Search->selectedText(), QStringLiteral("holiday"));
}

TEST_F(StartupTest, GoWithAPathThatNamesNothingChangesNeitherSelectionNorPanel)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=bob\\\r\n");
    start();
    TTreeNode* before = tree().selectedNode();
    ASSERT_NE(before, nullptr);
    window().Edit1->setText(QStringLiteral("Nobody Here\\"));
    window().Button2Click();
    EXPECT_EQ(tree().selectedNode(), before);
    EXPECT_EQ(window().CurrentPanel(), window().lv);

    window().Edit1->setText(QString());
    window().Button2Click();
    EXPECT_EQ(tree().selectedNode(), before);
}

TEST_F(StartupTest, ClosingStoresGeometryAndThePathOnlyWhenAsked)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=bob\\\r\nWidth=600\r\nHeight=400\r\n");
    start();
    window().Edit1->setText(QStringLiteral("Alice\\"));
    window().Button2Click();
    stop();
    std::string stored = readFileBytes(m_temp.file("Settings.ini"));
    EXPECT_NE(stored.find("CurrentPath=bob\\\r\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("Width=600\r\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("Height=400\r\n"), std::string::npos) << stored;

    writeSettings("CurrentPath=bob\\\r\nStartLastPath=1\r\n");
    start();
    window().Edit1->setText(QStringLiteral("Alice\\"));
    window().Button2Click();
    stop();
    stored = readFileBytes(m_temp.file("Settings.ini"));
    EXPECT_NE(stored.find("CurrentPath=Alice\\\r\n"), std::string::npos) << stored;
}

TEST_F(StartupTest, PanelsFollowTheTreeAndShowPanelIgnoresTheCurrentOne)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=[Root]\r\n");
    start();
    EXPECT_EQ(window().CurrentPanel(), window().lv);
    EXPECT_TRUE(window().lv->isVisible());
    EXPECT_FALSE(window().P_search->isVisible());

    tree().selectNode(tree().SearchNode);
    EXPECT_EQ(window().CurrentPanel(), window().P_search);
    EXPECT_TRUE(window().P_search->isVisible());
    EXPECT_FALSE(window().lv->isVisible());
    EXPECT_FALSE(window().P_SearchResults->isVisible());

    window().ShowPanel(window().P_search);
    EXPECT_TRUE(window().P_search->isVisible());

    tree().selectNode(node(QStringLiteral("bob\\")));
    EXPECT_EQ(window().CurrentPanel(), window().lv);
    EXPECT_FALSE(window().P_search->isVisible());
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
        { "Act_Search", "New Search", "Edit", "F3" },
        { "act_results", "View Results", "Edit", "F4" },
        { "act_Rename", "Rename", "Edit", "F2" },
        { "act_delete", "Delete", "Edit", "" },
        { "act_properties", "Properties", "Edit", "" },
        { "act_refreshtree", "Refresh Tree", "Edit", "F5" },
        { "act_scandisc", "Scan Disc", "Tools", "F6" },
        { "act_newfileset", "New Fileset", "File", "F7" },
        { "act_config", "Configure", "Tools", "F11" },
        { "act_about", "About", "Help", "" },
        { "FileExit1", "E&xit", "File", "" },
        { "Action1", "Statistics..", "Tools", "Shift+Ctrl+S" },
        { "Action2", "Export..", "Tools", "Shift+Ctrl+E" },
        { "Action3", "Compare..", "Tools", "Shift+Ctrl+C" },
    };
    for (const Expected& command : expected) {
        QAction* action = window().action(command.name);
        ASSERT_NE(action, nullptr) << command.name;
        EXPECT_EQ(action->text(), QString::fromUtf8(command.caption)) << command.name;
        EXPECT_EQ(action->property("Category").toString(), QString::fromUtf8(command.category)) << command.name;
        EXPECT_EQ(action->shortcut(), QKeySequence::fromString(QString::fromUtf8(command.shortcut))) << command.name;
    }
    EXPECT_FALSE(window().action("act_results")->isEnabled());
    EXPECT_EQ(window().action("FileExit1")->statusTip(), QStringLiteral("Quits the application"));
}

} // namespace
