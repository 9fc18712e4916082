// The navigation tree: filling one level ahead, images, order, paths both ways, refreshing discs after
// a deletion, and a damaged catalog met while expanding.
#include "tests/gui/mainwindow/mainwindowfixture.h"

#include "core/filesets/fileset.h"
#include "engine/ktb_discs.h"
#include "gui/common/appicons.h"

namespace {

using TreeTest = MainWindowFixture;

QStringList childTexts(const NavigationNode* node)
{
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i) {
        texts << node->child(i)->text(0);
    }
    return texts;
}

TEST_F(TreeTest, OwnersAreSortedIgnoringCaseAndFilledOneLevelAhead)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=[Root]\r\n");
    start();
    NavigationNode* owners = tree().ownersNode;
    // The toolkit's order ignoring case: "[" stands before the letters.
    EXPECT_EQ(childTexts(owners),
        (QStringList { QStringLiteral("[Nobody]"), QStringLiteral("Alice"), QStringLiteral("bob") }));
    EXPECT_EQ(tree().topLevelItem(0), owners);
    EXPECT_EQ(tree().topLevelItem(1), tree().searchNode);

    // Owners show their filesets before they are expanded, so they carry an expand button.
    NavigationNode* alice = owners->childNode(1);
    EXPECT_FALSE(alice->isExpanded());
    EXPECT_EQ(childTexts(alice), (QStringList { QStringLiteral("Empty"), QStringLiteral("Music") }));
    // Expanding Alice fills her filesets' discs: an empty fileset stays without children.
    alice->setExpanded(true);
    EXPECT_EQ(alice->childNode(0)->childCount(), 0);
    EXPECT_EQ(childTexts(alice->childNode(1)), (QStringList { QStringLiteral("Audio"), QStringLiteral("Disc 1") }));
    // One level ahead only: the discs' folders come when the fileset is expanded.
    NavigationNode* disc1 = alice->childNode(1)->childNode(1);
    EXPECT_EQ(disc1->childCount(), 0);
    alice->childNode(1)->setExpanded(true);
    EXPECT_EQ(childTexts(disc1), (QStringList { QStringLiteral("Jazz"), QStringLiteral("Rock") }));
    EXPECT_EQ(disc1->item.offset, m_disc1);
    EXPECT_EQ(disc1->childNode(1)->item.offset, m_rock);
    EXPECT_EQ(disc1->childNode(1)->item.kind, FolderItem);
    EXPECT_EQ(disc1->childNode(1)->fileset(), disc1->fileset());
}

TEST_F(TreeTest, ImagesFollowKindStateAndTheAudioFlag)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=Alice\\Music\\Disc 1\\Rock\\\r\n");
    start();
    NavigationNode* rock = tree().selectedNode();
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(rock->item.kind, FolderItem);
    EXPECT_EQ(rock->imageIndex(), ClosedFolderImage);
    EXPECT_EQ(rock->selectedImageIndex(), OpenFolderImage);
    NavigationNode* disc1 = rock->parentNode();
    EXPECT_EQ(disc1->imageIndex(), DataDiscImage);
    EXPECT_EQ(disc1->imageIndex(), DiscItem);
    EXPECT_TRUE(disc1->isExpanded());
    rock->setExpanded(true);
    EXPECT_EQ(rock->imageIndex(), OpenFolderImage);
    rock->setExpanded(false);
    EXPECT_EQ(rock->imageIndex(), ClosedFolderImage);
    NavigationNode* audio = findChildByText(disc1->parentNode(), QStringLiteral("AUDIO"));
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->imageIndex(), AudioDiscImage);
    EXPECT_EQ(audio->selectedImageIndex(), AudioDiscImage);
    EXPECT_EQ(tree().ownersNode->imageIndex(), ToolsImage);
    EXPECT_EQ(tree().searchNode->imageIndex(), MagnifierImage);
    EXPECT_EQ(disc1->parentNode()->imageIndex(), FilesetImage);
    EXPECT_EQ(disc1->parentNode()->parentNode()->imageIndex(), OwnerImage);
}

TEST_F(TreeTest, PathsNameNodesAndLeadBackToThem)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=[Root]\r\n");
    start();
    EXPECT_EQ(node(QStringLiteral("[root]")), tree().ownersNode);
    EXPECT_EQ(node(QStringLiteral("[SeArCh]")), tree().searchNode);
    EXPECT_EQ(nodePath(&tree(), tree().ownersNode), QStringLiteral("[Root]"));
    EXPECT_EQ(nodePath(&tree(), tree().searchNode), QStringLiteral("[Search]"));
    EXPECT_EQ(nodePath(&tree(), nullptr), QString());

    NavigationNode* rock = node(QStringLiteral("alice\\MUSIC\\disc 1\\rock"));
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(rock->item.offset, m_rock);
    const QString path = nodePath(&tree(), rock);
    EXPECT_EQ(path, QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    EXPECT_EQ(node(path), rock);

    // The deepest matching node answers; a first component that names no owner answers none.
    NavigationNode* alice = node(QStringLiteral("Alice\\No Such Fileset\\"));
    ASSERT_NE(alice, nullptr);
    EXPECT_EQ(alice->text(0), QStringLiteral("Alice"));
    EXPECT_EQ(node(QStringLiteral("Carol\\Music\\")), nullptr);
    EXPECT_EQ(node(QString()), nullptr);
    EXPECT_EQ(node(QStringLiteral("[Nobody]\\Misc.ktb\\"))->item.kind, FilesetItem);
}

TEST_F(TreeTest, RefreshDiscsKeepsOneNodePerRemainingDiscWithItsCurrentOffset)
{
    CatalogBuilder catalog;
    catalog.setOwner("Alice").setName("Three");
    const std::uint32_t first = catalog.addEmptyDisc({ .serial = 1, .title = "One" });
    catalog.beginDisc({ .serial = 2, .title = "Two" });
    catalog.beginFolder("Inside");
    catalog.endFolder();
    catalog.endDisc();
    catalog.addEmptyDisc({ .serial = 3, .title = "Three" });
    ASSERT_TRUE(catalog.writeTo(storage() + "three.ktb"));
    writeSettings("CurrentPath=Alice\\Three\\\r\n");
    start();
    NavigationNode* fileset = tree().selectedNode();
    ASSERT_NE(fileset, nullptr);
    ASSERT_EQ(fileset->childCount(), 3);

    Fileset* file = fileset->fileset();
    ASSERT_EQ(ktbDeleteDisc(file->handle(), first), KTB_OK);
    refreshDiscs(&tree(), fileset);

    ASSERT_EQ(childTexts(fileset), (QStringList { QStringLiteral("Three"), QStringLiteral("Two") }));
    for (int i = 0; i < fileset->childCount(); ++i) {
        TKTBDisc disc {};
        ASSERT_TRUE(ktbReadDisc(file->handle(), fileset->childNode(i)->item.offset, disc));
        EXPECT_EQ(QString::fromUtf8(disc.Title), fileset->child(i)->text(0));
    }
    // A disc node added by the refresh gets its folders at once.
    EXPECT_EQ(childTexts(findChildByText(fileset, QStringLiteral("Two"))), (QStringList { QStringLiteral("Inside") }));
}

TEST_F(TreeTest, ExpandingOverADamagedCatalogShowsTheCatalogErrorAndGoesOn)
{
    CatalogBuilder catalog;
    catalog.setOwner("Alice").setName("Broken");
    catalog.beginDisc({ .serial = 9, .title = "Bad" });
    catalog.beginFolder("A");
    const std::uint32_t bad = catalog.rawByte(9);
    ASSERT_TRUE(catalog.writeTo(storage() + "broken.ktb"));
    writeSettings("CurrentPath=[Root]\r\n");
    start();
    NavigationNode* broken = node(QStringLiteral("Alice\\Broken\\"));
    ASSERT_NE(broken, nullptr);
    m_questions->clearAsked();
    broken->setExpanded(true);

    ASSERT_EQ(m_questions->asked().size(), 1u);
    const AskedQuestion& box = m_questions->asked().front();
    EXPECT_EQ(box.caption, QStringLiteral("KTB Error!"));
    EXPECT_EQ(box.icon, MessageIcon::Error);
    EXPECT_TRUE(box.ownerless);
    EXPECT_EQ(box.text,
        QStringLiteral("An error occurred in a KTB file\r\nFile: ") + storagePath()
            + QStringLiteral(
                "broken.ktb\r\nErrormessage:KTB_ERR_BADENTITY\r\n\r\nDetails: Token encountered: 9 at pos: ")
            + QString::number(bad));
    // The tree stays usable.
    EXPECT_EQ(childTexts(broken), (QStringList { QStringLiteral("Bad") }));
    tree().selectNode(node(QStringLiteral("bob\\")) ? node(QStringLiteral("bob\\")) : tree().ownersNode);
    EXPECT_NE(tree().selectedNode(), nullptr);
}

} // namespace
