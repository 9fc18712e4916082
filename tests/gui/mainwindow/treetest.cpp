// The navigation tree: filling one level ahead, images, order, paths both ways, refreshing discs after
// a deletion, and a damaged catalog met while expanding.
#include "tests/gui/mainwindow/mainwindowfixture.h"

#include "core/filesets/fileset.h"
#include "engine/ktb_discs.h"
#include "gui/common/appicons.h"

namespace {

using TreeTest = MainWindowFixture;

QStringList childTexts(const TTreeNode* node)
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
    TTreeNode* owners = tree().OwnersNode;
    // The toolkit's order ignoring case: "[" stands before the letters.
    EXPECT_EQ(childTexts(owners),
        (QStringList { QStringLiteral("[Nobody]"), QStringLiteral("Alice"), QStringLiteral("bob") }));
    EXPECT_EQ(tree().topLevelItem(0), owners);
    EXPECT_EQ(tree().topLevelItem(1), tree().SearchNode);

    // Owners show their filesets before they are expanded, so they carry an expand button.
    TTreeNode* alice = owners->childNode(1);
    EXPECT_FALSE(alice->isExpanded());
    EXPECT_EQ(childTexts(alice), (QStringList { QStringLiteral("Empty"), QStringLiteral("Music") }));
    // Expanding Alice fills her filesets' discs: an empty fileset stays without children.
    alice->setExpanded(true);
    EXPECT_EQ(alice->childNode(0)->childCount(), 0);
    EXPECT_EQ(childTexts(alice->childNode(1)), (QStringList { QStringLiteral("Audio"), QStringLiteral("Disc 1") }));
    // One level ahead only: the discs' folders come when the fileset is expanded.
    TTreeNode* disc1 = alice->childNode(1)->childNode(1);
    EXPECT_EQ(disc1->childCount(), 0);
    alice->childNode(1)->setExpanded(true);
    EXPECT_EQ(childTexts(disc1), (QStringList { QStringLiteral("Jazz"), QStringLiteral("Rock") }));
    EXPECT_EQ(disc1->Data.Offset, m_disc1);
    EXPECT_EQ(disc1->childNode(1)->Data.Offset, m_rock);
    EXPECT_EQ(disc1->childNode(1)->Data.Kind, ikFolder);
    EXPECT_EQ(disc1->childNode(1)->fileset(), disc1->fileset());
}

TEST_F(TreeTest, ImagesFollowKindStateAndTheAudioFlag)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=Alice\\Music\\Disc 1\\Rock\\\r\n");
    start();
    TTreeNode* rock = tree().selectedNode();
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(rock->Data.Kind, ikFolder);
    EXPECT_EQ(rock->imageIndex(), imgFolderClosed);
    EXPECT_EQ(rock->selectedImageIndex(), imgFolderOpen);
    TTreeNode* disc1 = rock->parentNode();
    EXPECT_EQ(disc1->imageIndex(), imgDataDisc);
    EXPECT_EQ(disc1->imageIndex(), ikDisc);
    EXPECT_TRUE(disc1->isExpanded());
    rock->setExpanded(true);
    EXPECT_EQ(rock->imageIndex(), imgFolderOpen);
    rock->setExpanded(false);
    EXPECT_EQ(rock->imageIndex(), imgFolderClosed);
    TTreeNode* audio = FindChildByText(disc1->parentNode(), QStringLiteral("AUDIO"));
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->imageIndex(), imgAudioDisc);
    EXPECT_EQ(audio->selectedImageIndex(), imgAudioDisc);
    EXPECT_EQ(tree().OwnersNode->imageIndex(), imgTools);
    EXPECT_EQ(tree().SearchNode->imageIndex(), imgMagnifier);
    EXPECT_EQ(disc1->parentNode()->imageIndex(), imgFileset);
    EXPECT_EQ(disc1->parentNode()->parentNode()->imageIndex(), imgOwner);
}

TEST_F(TreeTest, PathsNameNodesAndLeadBackToThem)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=[Root]\r\n");
    start();
    EXPECT_EQ(node(QStringLiteral("[root]")), tree().OwnersNode);
    EXPECT_EQ(node(QStringLiteral("[SeArCh]")), tree().SearchNode);
    EXPECT_EQ(NodePath(&tree(), tree().OwnersNode), QStringLiteral("[Root]"));
    EXPECT_EQ(NodePath(&tree(), tree().SearchNode), QStringLiteral("[Search]"));
    EXPECT_EQ(NodePath(&tree(), nullptr), QString());

    TTreeNode* rock = node(QStringLiteral("alice\\MUSIC\\disc 1\\rock"));
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(rock->Data.Offset, m_rock);
    const QString path = NodePath(&tree(), rock);
    EXPECT_EQ(path, QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    EXPECT_EQ(node(path), rock);

    // The deepest matching node answers; a first component that names no owner answers none.
    TTreeNode* alice = node(QStringLiteral("Alice\\No Such Fileset\\"));
    ASSERT_NE(alice, nullptr);
    EXPECT_EQ(alice->text(0), QStringLiteral("Alice"));
    EXPECT_EQ(node(QStringLiteral("Carol\\Music\\")), nullptr);
    EXPECT_EQ(node(QString()), nullptr);
    EXPECT_EQ(node(QStringLiteral("[Nobody]\\Misc.ktb\\"))->Data.Kind, ikFileset);
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
    TTreeNode* fileset = tree().selectedNode();
    ASSERT_NE(fileset, nullptr);
    ASSERT_EQ(fileset->childCount(), 3);

    TKTBFile* file = fileset->fileset();
    ASSERT_EQ(ktbDeleteDisc(file->Handle(), first), KTB_OK);
    RefreshDiscs(&tree(), fileset);

    ASSERT_EQ(childTexts(fileset), (QStringList { QStringLiteral("Three"), QStringLiteral("Two") }));
    for (int i = 0; i < fileset->childCount(); ++i) {
        TKTBDisc disc {};
        ASSERT_TRUE(ktbReadDisc(file->Handle(), fileset->childNode(i)->Data.Offset, disc));
        EXPECT_EQ(QString::fromUtf8(disc.Title), fileset->child(i)->text(0));
    }
    // A disc node added by the refresh gets its folders at once.
    EXPECT_EQ(childTexts(FindChildByText(fileset, QStringLiteral("Two"))), (QStringList { QStringLiteral("Inside") }));
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
    TTreeNode* broken = node(QStringLiteral("Alice\\Broken\\"));
    ASSERT_NE(broken, nullptr);
    m_questions->clearAsked();
    broken->setExpanded(true);

    ASSERT_EQ(m_questions->asked().size(), 1u);
    const AskedQuestion& box = m_questions->asked().front();
    EXPECT_EQ(box.caption, QStringLiteral("KTB Error!"));
    EXPECT_EQ(box.icon, TMsgIcon::Error);
    EXPECT_TRUE(box.ownerless);
    EXPECT_EQ(box.text,
        QStringLiteral("An error occurred in a KTB file\r\nFile: ") + storagePath()
            + QStringLiteral(
                "broken.ktb\r\nErrormessage:KTB_ERR_BADENTITY\r\n\r\nDetails: Token encountered: 9 at pos: ")
            + QString::number(bad));
    // The tree stays usable.
    EXPECT_EQ(childTexts(broken), (QStringList { QStringLiteral("Bad") }));
    tree().selectNode(node(QStringLiteral("bob\\")) ? node(QStringLiteral("bob\\")) : tree().OwnersNode);
    EXPECT_NE(tree().selectedNode(), nullptr);
}

} // namespace
