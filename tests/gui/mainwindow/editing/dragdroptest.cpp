// Moves by drag and drop in the tree: what may be dropped where, a fileset moved to another owner, a
// disc moved to another fileset, and a disc refused for a serial number the target holds already.
#include "tests/gui/mainwindow/editing/editfixture.h"

#include "core/filesets/fileset.h"
#include "core/filesets/owner.h"
#include "core/filesets/ownerindex.h"
#include "gui/mainwindow/cataloglist.h"

namespace {

using DragDropTest = EditFixture;

struct DragCase {
    const char* dragged;
    const char* target; ///< empty: no node under the pointer
    bool fromThisTree;
    bool accepted;
};

class DragOverTest : public EditFixture, public testing::WithParamInterface<DragCase> { };

TEST_P(DragOverTest, AcceptsFilesetsOnOtherOwnersAndDiscsOnOtherFilesets)
{
    startStandard();
    const DragCase& drag = GetParam();
    const QString targetPath = QString::fromUtf8(drag.target);
    NavigationNode* target = targetPath.isEmpty() ? nullptr : node(targetPath);
    ASSERT_TRUE(targetPath.isEmpty() || target != nullptr);
    ASSERT_NE(open(QString::fromUtf8(drag.dragged)), nullptr);
    const QObject* source = drag.fromThisTree ? static_cast<QObject*>(window().navigationTree) : window().catalogView;
    EXPECT_EQ(window().canDropOnNode(source, target), drag.accepted);
}

INSTANTIATE_TEST_SUITE_P(Rules, DragOverTest,
    testing::Values(DragCase { "Alice\\Music\\", "bob\\", true, true },
        DragCase { "Alice\\Music\\", "[Nobody]\\", true, true },
        DragCase { "Alice\\Music\\", "Alice\\", true, false }, // its own owner
        DragCase { "Alice\\Music\\", "bob\\Photos\\", true, false },
        DragCase { "Alice\\Music\\", "[Root]", true, false },
        DragCase { "Alice\\Music\\", "bob\\", false, false }, // started elsewhere
        DragCase { "Alice\\Music\\", "", true, false },
        DragCase { "Alice\\Music\\Disc 1\\", "bob\\Photos\\", true, true },
        DragCase { "Alice\\Music\\Disc 1\\", "Alice\\Empty\\", true, true },
        DragCase { "Alice\\Music\\Disc 1\\", "Alice\\Music\\", true, false }, // its own fileset
        DragCase { "Alice\\Music\\Disc 1\\", "bob\\", true, false },
        DragCase { "Alice\\Music\\Disc 1\\Rock\\", "bob\\Photos\\", true, false },
        DragCase { "Alice\\", "bob\\", true, false }));

TEST_F(DragDropTest, FilesetMovesToAnotherOwnerAfterYes)
{
    startStandard();
    NavigationNode* empty = open(QStringLiteral("Alice\\Empty\\"));
    NavigationNode* bob = node(QStringLiteral("bob\\"));
    m_questions->answerMessage(NoButton);
    window().dropOnNode(bob);
    ASSERT_EQ(m_questions->asked().size(), 1u);
    EXPECT_EQ(m_questions->asked().front().text, QStringLiteral("Move fileset \"Empty\" to bob?"));
    EXPECT_EQ(m_questions->asked().front().caption, QStringLiteral("Confirm"));
    EXPECT_EQ(m_questions->asked().front().icon, MessageIcon::Question);
    EXPECT_EQ(m_questions->asked().front().buttons, YesButton | NoButton);
    EXPECT_EQ(empty->parentNode(), node(QStringLiteral("Alice\\")));
    EXPECT_EQ(fileset(QStringLiteral("empty.ktb"))->owner(), QStringLiteral("Alice"));

    m_questions->answerMessage(YesButton);
    window().dropOnNode(bob);
    EXPECT_EQ(empty->parentNode(), bob);
    EXPECT_EQ(tree().selectedNode(), empty);
    EXPECT_TRUE(bob->isExpanded());
    EXPECT_EQ(childTexts(bob), (QStringList { QStringLiteral("Empty"), QStringLiteral("Photos") }));
    EXPECT_EQ(fileset(QStringLiteral("empty.ktb"))->owner(), QStringLiteral("bob"));
    EXPECT_EQ(static_cast<Owner*>(bob->item.ref)->count(), 2);
    EXPECT_EQ(childTexts(node(QStringLiteral("Alice\\"))), (QStringList { QStringLiteral("Music") }));
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("bob\\Empty\\"));
}

TEST_F(DragDropTest, OwnerOfTheLastFilesetMovedAwayDisappears)
{
    startStandard();
    NavigationNode* photos = open(QStringLiteral("bob\\Photos\\"));
    NavigationNode* alice = node(QStringLiteral("Alice\\"));
    m_questions->answerMessage(YesButton);
    window().dropOnNode(alice);
    EXPECT_EQ(childTexts(tree().ownersNode), (QStringList { QStringLiteral("[Nobody]"), QStringLiteral("Alice") }));
    EXPECT_EQ(g_ownerIndex->indexOfName(QStringLiteral("bob")), -1);
    EXPECT_EQ(photos->parentNode(), alice);
    EXPECT_EQ(tree().selectedNode(), photos);
    // The moved fileset still shows its disc.
    EXPECT_EQ(childTexts(photos), (QStringList { QStringLiteral("Holiday 2003") }));
    EXPECT_EQ(fileset(QStringLiteral("photos.ktb"))->owner(), QStringLiteral("Alice"));
}

TEST_F(DragDropTest, DiscMovesWithItsContentsAfterYes)
{
    startStandard();
    Fileset* music = fileset(QStringLiteral("music.ktb"));
    Fileset* photos = fileset(QStringLiteral("photos.ktb"));
    const QStringList contents = discContents(music, m_disc1);
    NavigationNode* photosNode = node(QStringLiteral("bob\\Photos\\"));
    NavigationNode* musicNode = node(QStringLiteral("Alice\\Music\\"));
    open(QStringLiteral("Alice\\Music\\Disc 1\\"));
    m_questions->answerMessage(YesButton);
    window().dropOnNode(photosNode);

    EXPECT_EQ(m_questions->messageTexts(), (QStringList { QStringLiteral("Move Disc \"Disc 1\" to Photos?") }));
    EXPECT_EQ(discTitles(music), (QStringList { QStringLiteral("Audio") }));
    EXPECT_EQ(discTitles(photos), (QStringList { QStringLiteral("Holiday 2003"), QStringLiteral("Disc 1") }));
    const std::uint32_t moved = discOffsets(photos).back();
    EXPECT_EQ(discContents(photos, moved), contents);
    // Audio moved down in Music's file; its node follows.
    ASSERT_EQ(childTexts(musicNode), (QStringList { QStringLiteral("Audio") }));
    EXPECT_EQ(musicNode->childNode(0)->item.offset, discOffsets(music).front());
    EXPECT_EQ(childTexts(photosNode), (QStringList { QStringLiteral("Disc 1"), QStringLiteral("Holiday 2003") }));
    NavigationNode* selected = tree().selectedNode();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->parentNode(), photosNode);
    EXPECT_EQ(selected->item.offset, moved);
    EXPECT_EQ(childTexts(selected), (QStringList { QStringLiteral("Jazz"), QStringLiteral("Rock") }));
}

TEST_F(DragDropTest, DiscWhoseSerialTheTargetHoldsIsNotMoved)
{
    buildStandardFilesets();
    CatalogBuilder copies;
    copies.setOwner("bob").setName("Copies");
    copies.addEmptyDisc({ .serial = 0x11, .title = "Same serial" });
    ASSERT_TRUE(copies.writeTo(storage() + "copies.ktb"));
    writeSettings();
    start();
    NavigationNode* copiesNode = node(QStringLiteral("bob\\Copies\\"));
    NavigationNode* disc = open(QStringLiteral("Alice\\Music\\Disc 1\\"));
    m_questions->answerMessage(YesButton);
    window().dropOnNode(copiesNode);

    // The question, and nothing else.
    EXPECT_EQ(m_questions->messageTexts(), (QStringList { QStringLiteral("Move Disc \"Disc 1\" to Copies?") }));
    EXPECT_EQ(discTitles(fileset(QStringLiteral("music.ktb"))),
        (QStringList { QStringLiteral("Disc 1"), QStringLiteral("Audio") }));
    EXPECT_EQ(discTitles(fileset(QStringLiteral("copies.ktb"))), (QStringList { QStringLiteral("Same serial") }));
    EXPECT_EQ(tree().selectedNode(), disc);
    EXPECT_EQ(childTexts(copiesNode), (QStringList { QStringLiteral("Same serial") }));
}

TEST_F(DragDropTest, RefusedDropAsksNothing)
{
    startStandard();
    open(QStringLiteral("Alice\\Music\\"));
    window().dropOnNode(node(QStringLiteral("Alice\\")));
    EXPECT_TRUE(m_questions->asked().empty());
}

} // namespace
