// The pop-up menus: their items per kind, which one opens where, the drive items of the fileset menu
// with test drives, and the creation commands New Owner and New Fileset.
#include "tests/gui/mainwindow/editing/editfixture.h"

#include "core/filesets/filesetregistry.h"
#include "core/filesets/owner.h"
#include "core/filesets/ownerindex.h"
#include "core/settings/settings.h"
#include "gui/mainwindow/cataloglist.h"
#include "platform/drivelayer.h"
#include "tests/support/discimages.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QTreeView>
#include <filesystem>

namespace {

QStringList itemTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* item : menu->actions()) {
        texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    return texts;
}

// The property windows are modal: the next one is cancelled as soon as it shows.
void cancelNextWindow()
{
    QTimer::singleShot(0, [] {
        if (auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            window->reject();
        }
    });
}

class PopupTest : public EditFixture {
protected:
    void TearDown() override
    {
        setDriveTable(nullptr);
        EditFixture::TearDown();
    }
    /// The menu that opened, closed again.
    QMenu* openedMenu()
    {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu != nullptr) {
            menu->hide();
        }
        return menu;
    }
    void rightClick(const QString& path)
    {
        NavigationNode* target = path.isEmpty() ? nullptr : node(path);
        ASSERT_TRUE(path.isEmpty() || target != nullptr);
        // Below the last node for none.
        if (target == nullptr) {
            tree().collapseAll();
        }
        const QRect area
            = target != nullptr ? tree().visualItemRect(target) : QRect(0, tree().viewport()->height() - 2, 1, 1);
        window().handleTreeMousePress(area.center());
    }
};

TEST_F(PopupTest, MenusHoldTheirItemsInOrder)
{
    writeSettings();
    start();
    EXPECT_EQ(itemTexts(window().rootMenu),
        (QStringList { QStringLiteral("New Owner"), QStringLiteral("-"), QStringLiteral("Scan Disc"),
            QStringLiteral("Refresh Tree") }));
    EXPECT_EQ(itemTexts(window().ownerMenu),
        (QStringList {
            QStringLiteral("New Fileset"), QStringLiteral("-"), QStringLiteral("Delete"), QStringLiteral("Rename") }));
    EXPECT_EQ(itemTexts(window().filesetMenu),
        (QStringList { QStringLiteral("Add Symbolic Disc"), QStringLiteral("-"), QStringLiteral("Delete"),
            QStringLiteral("Rename"), QStringLiteral("-"), QStringLiteral("Properties") }));
    EXPECT_EQ(itemTexts(window().discMenu),
        (QStringList {
            QStringLiteral("Delete"), QStringLiteral("Rename"), QStringLiteral("-"), QStringLiteral("Properties") }));
    EXPECT_EQ(itemTexts(window().searchMenu), (QStringList { QStringLiteral("Properties") }));
    EXPECT_EQ(window().filesetMenu->defaultAction(), window().action("propertiesAction"));
    EXPECT_EQ(window().discMenu->defaultAction(), window().action("propertiesAction"));
}

struct PopupCase {
    const char* path; ///< empty: below the last node
    const char* menu; ///< empty: none
};

class TreePopupTest : public PopupTest, public testing::WithParamInterface<PopupCase> { };

TEST_P(TreePopupTest, RightButtonSelectsTheNodeAndOpensItsMenu)
{
    startStandard();
    open(QStringLiteral("bob\\Photos\\Holiday 2003\\"));
    open(QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    const QString path = QString::fromUtf8(GetParam().path);
    rightClick(path);
    QMenu* menu = openedMenu();
    EXPECT_EQ(menu != nullptr ? menu->objectName() : QString(), QString::fromUtf8(GetParam().menu));
    if (!path.isEmpty()) {
        EXPECT_EQ(tree().selectedNode(), node(path));
        EXPECT_EQ(window().currentItem.kind, node(path)->item.kind);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, TreePopupTest,
    testing::Values(PopupCase { "", "rootMenu" }, PopupCase { "[Root]", "rootMenu" }, PopupCase { "[Search]", "" },
        PopupCase { "Alice\\", "ownerMenu" }, PopupCase { "Alice\\Music\\", "filesetMenu" },
        PopupCase { "Alice\\Music\\Disc 1\\", "discMenu" }, PopupCase { "Alice\\Music\\Disc 1\\Rock\\", "" }));

TEST_F(PopupTest, ListRowsOpenTheMenuOfTheirKind)
{
    startStandard();
    const std::pair<const char*, const char*> cases[] = {
        { "[Root]", "ownerMenu" },
        { "Alice\\", "filesetMenu" },
        { "Alice\\Music\\", "discMenu" },
    };
    for (const auto& [path, menu] : cases) {
        open(QString::fromUtf8(path));
        selectRows({ rows().front() });
        window().handleCatalogViewMousePress(QPoint(5, 5));
        QMenu* opened = openedMenu();
        ASSERT_NE(opened, nullptr) << path;
        EXPECT_EQ(opened->objectName(), QString::fromUtf8(menu));
    }
    // Folder rows and an empty selection open nothing.
    open(QStringLiteral("Alice\\Music\\Disc 1\\"));
    selectRows({ QStringLiteral("Rock") });
    window().handleCatalogViewMousePress(QPoint(5, 5));
    EXPECT_EQ(openedMenu(), nullptr);
}

TEST_F(PopupTest, DriveItemsFollowTheDrivesLastLetterFirst)
{
    buildStandardFilesets();
    ASSERT_TRUE(writeDiscTree(m_temp.file("MYDISC"), { { "a.txt", 10 } }));
    writeSettings();
    start();
    auto drives = std::make_unique<PathDriveTable>();
    PathDriveTable* table = drives.get();
    setDriveTable(std::move(drives));
    const QStringList fixed = itemTexts(window().filesetMenu);

    // No drive: no drive items.
    window().onFilesetMenuAboutToShow();
    EXPECT_EQ(itemTexts(window().filesetMenu), fixed);

    // An empty drive D and a drive E with a disc: E above D, both above "Add Symbolic Disc".
    table->setDrive('D', m_temp.file("no disc here"));
    table->setDrive('E', m_temp.file("MYDISC"));
    for (int opening = 0; opening < 2; ++opening) {
        window().onFilesetMenuAboutToShow();
        const QList<QAction*> items = window().filesetMenu->actions();
        ASSERT_EQ(items.size(), fixed.size() + 2);
        EXPECT_EQ(items[0]->text(), QStringLiteral("Add \"MYDISC\" from Drive (E:)"));
        EXPECT_TRUE(items[0]->isEnabled());
        EXPECT_EQ(items[0]->property("GroupIndex").toInt(), int('E'));
        EXPECT_EQ(items[1]->text(), QStringLiteral("Insert Disc in Drive (D:)"));
        EXPECT_FALSE(items[1]->isEnabled());
        EXPECT_EQ(items[1]->property("GroupIndex").toInt(), int('D'));
        for (const QAction* item : { items[0], items[1] }) {
            EXPECT_EQ(item->property("Tag").toInt(), 5376);
        }
        EXPECT_EQ(items[2]->text(), QStringLiteral("Add Symbolic Disc"));
    }
    // Every other item of every menu is always enabled.
    for (const QMenu* menu : { window().rootMenu, window().ownerMenu, window().discMenu }) {
        for (const QAction* item : menu->actions()) {
            EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
        }
    }
}

TEST_F(PopupTest, NewOwnerStartsEditingAndLivesOnlyUntilTheOwnersAreRebuilt)
{
    startStandard();
    const int owners = g_ownerIndex->count();
    window().newOwner();
    NavigationNode* created = node(QStringLiteral("New Owner\\"));
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->item.kind, OwnerItem);
    EXPECT_EQ(g_ownerIndex->count(), owners + 1);
    ASSERT_NE(editorOf(window().navigationTree), nullptr);
    commitEdit(window().navigationTree, QStringLiteral("Carol"));
    EXPECT_EQ(created->text(0), QStringLiteral("Carol"));
    EXPECT_EQ(static_cast<Owner*>(created->item.ref)->name, QStringLiteral("Carol"));

    // Without a fileset the owner does not come back.
    window().refresh();
    g_ownerIndex->rebuild();
    window().refresh();
    EXPECT_EQ(node(QStringLiteral("Carol\\")), nullptr);
}

TEST_F(PopupTest, NewFilesetIsCreatedInTheStorageFolderAndNamedInPlace)
{
    buildStandardFilesets();
    std::filesystem::remove_all(storage() + "new");
    writeSettings();
    start();
    // A storage folder that does not exist yet is made.
    settings().setStringValue(FilesetFolderSetting, storagePath() + QStringLiteral("new/"));
    NavigationNode* bob = open(QStringLiteral("bob\\"));
    focusTree();
    window().ownerMenu->actions().front()->trigger();
    EXPECT_TRUE(m_questions->asked().empty());
    ASSERT_EQ(g_filesetRegistry->count(), 5);
    Fileset* created = g_filesetRegistry->at(4);
    EXPECT_EQ(created->fileName, storagePath() + QStringLiteral("new/bob - Fileset0.ktb"));
    EXPECT_TRUE(pathExists(storage() + "new/bob - Fileset0.ktb"));
    EXPECT_EQ(created->owner(), QStringLiteral("bob"));
    EXPECT_EQ(created->description(), QStringLiteral("New Fileset"));
    EXPECT_TRUE(childTexts(bob).contains(QStringLiteral("New Fileset")));
    commitEdit(window().navigationTree, QStringLiteral("Scans"));
    EXPECT_EQ(created->description(), QStringLiteral("Scans"));
    EXPECT_EQ(childTexts(bob), (QStringList { QStringLiteral("Photos"), QStringLiteral("Scans") }));
}

TEST_F(PopupTest, NewFilesetThatCannotBeCreatedLeavesNoNodeAndSaysWhy)
{
    buildStandardFilesets();
    // A file where the storage folder should be.
    ASSERT_TRUE(writeFileBytes(m_temp.file("blocked"), "a file"));
    writeSettings();
    start();
    settings().setStringValue(FilesetFolderSetting, QString::fromStdString(m_temp.file("blocked/")));
    NavigationNode* bob = open(QStringLiteral("bob\\"));
    focusTree();
    window().newFilesetForOwner(bob);
    ASSERT_EQ(m_questions->asked().size(), 1u);
    const AskedQuestion& notice = m_questions->asked().front();
    EXPECT_EQ(notice.caption, QStringLiteral("New Fileset"));
    EXPECT_EQ(notice.icon, MessageIcon::Error);
    EXPECT_TRUE(notice.text.startsWith(QStringLiteral("Cannot create the new fileset \"bob - Fileset0.ktb\".")))
        << notice.text.toStdString();
    EXPECT_TRUE(notice.text.contains(QStringLiteral("does not exist"))) << notice.text.toStdString();
    EXPECT_EQ(g_filesetRegistry->count(), 4);
    EXPECT_EQ(childTexts(bob), (QStringList { QStringLiteral("Photos") }));
    EXPECT_EQ(editorOf(window().navigationTree), nullptr);
}

TEST_F(PopupTest, CancelledPropertiesKeepTheSelectedNode)
{
    startStandard();
    NavigationNode* disc = open(QStringLiteral("Alice\\Music\\Disc 1\\"));
    focusTree();
    cancelNextWindow();
    window().showProperties();
    EXPECT_EQ(tree().selectedNode(), disc);
    selectInList(QStringLiteral("Alice\\Music\\"), { QStringLiteral("Disc 1") });
    cancelNextWindow();
    window().showProperties();
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Alice\\Music\\"));
    EXPECT_TRUE(m_questions->asked().empty());
}

} // namespace
