// Deleting owners, filesets and discs from the tree and from the list: the questions and what Yes and
// No do, the ".bak" file of a deleted fileset, and several discs deleted at once.
#include "tests/gui/mainwindow/editing/editfixture.h"

#include "core/filesets/filesetregistry.h"
#include "core/filesets/owner.h"
#include "gui/mainwindow/cataloglist.h"

#include <QTest>
#include <QTreeView>

namespace {

using DeleteTest = EditFixture;

struct QuestionCase {
    const char* path;
    const char* text;
};

class DeleteQuestionTest : public EditFixture, public testing::WithParamInterface<QuestionCase> { };

TEST_P(DeleteQuestionTest, AsksAndNoKeepsEverything)
{
    startStandard();
    const QString path = QString::fromUtf8(GetParam().path);
    ASSERT_NE(open(path), nullptr);
    focusTree();
    m_questions->answerMessage(NoButton);
    window().deleteSelection();

    ASSERT_EQ(m_questions->asked().size(), 1u);
    const AskedQuestion& question = m_questions->asked().front();
    EXPECT_EQ(question.text, QString::fromUtf8(GetParam().text));
    EXPECT_EQ(question.caption, QStringLiteral("Confirm Delete"));
    EXPECT_EQ(question.icon, MessageIcon::Warning);
    EXPECT_EQ(question.buttons, YesButton | NoButton);
    EXPECT_TRUE(question.ownerless);

    EXPECT_NE(node(path), nullptr);
    EXPECT_EQ(g_filesetRegistry->count(), 4);
    EXPECT_EQ(fileset(QStringLiteral("music.ktb"))->owner(), QStringLiteral("Alice"));
    EXPECT_EQ(discTitles(fileset(QStringLiteral("music.ktb"))),
        (QStringList { QStringLiteral("Disc 1"), QStringLiteral("Audio") }));
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeleteQuestionTest,
    testing::Values(QuestionCase { "Alice\\", "Remove Owner \"Alice\"?\r\n(Filesets are not deleted! )" },
        QuestionCase { "Alice\\Music\\", "Remove Dataset \"Music\"?\r\n(it will be renamed and hidden only!)" },
        QuestionCase { "Alice\\Music\\Disc 1\\", "Delete Disc \"Disc 1\"" }));

TEST_F(DeleteTest, RootsAndFoldersAreNeverDeleted)
{
    startStandard();
    // No answer is queued: any question would fail the test.
    for (const QString& path : { QStringLiteral("[Root]"), QStringLiteral("Alice\\Music\\Disc 1\\Rock\\") }) {
        open(path);
        focusTree();
        window().deleteSelection();
    }
    EXPECT_TRUE(m_questions->asked().empty());
    EXPECT_EQ(discContents(fileset(QStringLiteral("music.ktb")), m_disc1).size(), 6);
}

TEST_F(DeleteTest, DeletedOwnerLeavesItsFilesetsToNobody)
{
    startStandard();
    open(QStringLiteral("Alice\\"));
    focusTree();
    m_questions->answerMessage(YesButton);
    window().deleteSelection();

    EXPECT_EQ(childTexts(tree().ownersNode), (QStringList { QStringLiteral("[Nobody]"), QStringLiteral("bob") }));
    EXPECT_EQ(childTexts(node(QStringLiteral("[Nobody]\\"))),
        (QStringList { QStringLiteral("Empty"), QStringLiteral("Misc.ktb"), QStringLiteral("Music") }));
    EXPECT_EQ(fileset(QStringLiteral("music.ktb"))->owner(), QString());
    EXPECT_EQ(g_filesetRegistry->count(), 4);
    EXPECT_TRUE(pathExists(storage() + "music.ktb"));
    EXPECT_TRUE(pathExists(storage() + "empty.ktb"));
    EXPECT_EQ(tree().selectedNode(), tree().ownersNode);
    EXPECT_EQ(rows(), (QStringList { QStringLiteral("[Nobody]"), QStringLiteral("bob") }));
}

TEST_F(DeleteTest, DeletedFilesetBecomesItsBakFile)
{
    buildStandardFilesets();
    writeSettings();
    start();
    open(QStringLiteral("Alice\\Music\\"));
    focusTree();
    m_questions->answerMessage(YesButton);
    // The Delete key of the tree runs the same command.
    QTest::keyClick(window().navigationTree, Qt::Key_Delete);

    EXPECT_FALSE(pathExists(storage() + "music.ktb"));
    EXPECT_EQ(readFileBytes(storage() + "music.ktb.bak").substr(0, 4), "KTB!");
    EXPECT_EQ(fileset(QStringLiteral("music.ktb")), nullptr);
    EXPECT_EQ(g_filesetRegistry->count(), 3);
    EXPECT_EQ(childTexts(node(QStringLiteral("Alice\\"))), (QStringList { QStringLiteral("Empty") }));
    EXPECT_NE(tree().selectedNode(), nullptr);

    // The owner node stays when its last fileset goes.
    open(QStringLiteral("Alice\\Empty\\"));
    focusTree();
    m_questions->answerMessage(YesButton);
    window().deleteSelection();
    NavigationNode* alice = node(QStringLiteral("Alice\\"));
    ASSERT_NE(alice, nullptr);
    EXPECT_EQ(alice->childCount(), 0);

    // The next start no longer finds them.
    stop();
    start();
    EXPECT_EQ(g_filesetRegistry->count(), 2);
    EXPECT_EQ(node(QStringLiteral("Alice\\")), nullptr);
}

TEST_F(DeleteTest, DeletedDiscSelectsTheDiscAboveAtItsCurrentOffset)
{
    startStandard();
    Fileset* music = fileset(QStringLiteral("music.ktb"));
    // The tree shows Audio above Disc 1; the catalog holds Disc 1 first, so Audio moves down.
    NavigationNode* musicNode = open(QStringLiteral("Alice\\Music\\"));
    ASSERT_EQ(childTexts(musicNode), (QStringList { QStringLiteral("Audio"), QStringLiteral("Disc 1") }));
    open(QStringLiteral("Alice\\Music\\Disc 1\\"));
    focusTree();
    m_questions->answerMessage(YesButton);
    window().deleteSelection();

    EXPECT_EQ(discTitles(music), (QStringList { QStringLiteral("Audio") }));
    ASSERT_EQ(childTexts(musicNode), (QStringList { QStringLiteral("Audio") }));
    NavigationNode* audio = musicNode->childNode(0);
    EXPECT_EQ(audio->item.offset, discOffsets(music).front());
    EXPECT_EQ(tree().selectedNode(), audio);
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Alice\\Music\\Audio\\"));

    // The first disc gives way to its fileset.
    focusTree();
    m_questions->answerMessage(YesButton);
    window().deleteSelection();
    EXPECT_TRUE(discTitles(music).isEmpty());
    EXPECT_EQ(musicNode->childCount(), 0);
    EXPECT_EQ(tree().selectedNode(), musicNode);
}

class ListDeleteTest : public EditFixture {
protected:
    /// Dan's "Four": discs A, B, C, D, each with contents of another length.
    void buildFour()
    {
        CatalogBuilder four;
        four.setOwner("Dan").setName("Four");
        four.beginDisc({ .serial = 1, .title = "A" });
        four.beginFolder("a folder");
        four.addFile("a1.txt", 1);
        four.addFile("a2.txt", 2);
        four.endFolder();
        four.endDisc();
        four.beginDisc({ .serial = 2, .title = "B" });
        four.addFile("b.txt", 3);
        four.endDisc();
        four.beginDisc({ .serial = 3, .title = "C" });
        four.addFile("c1.txt", 4);
        four.addFile("c2.txt", 5);
        four.addFile("c3.txt", 6);
        four.endDisc();
        four.beginDisc({ .serial = 4, .title = "D" });
        four.beginFolder("d folder");
        four.addFile("d.txt", 7);
        four.endFolder();
        four.endDisc();
        ASSERT_TRUE(four.writeTo(storage() + "four.ktb"));
    }
};

TEST_F(ListDeleteTest, ThreeDiscsAskOnceAndEachGoesAtItsOwnOffset)
{
    buildFour();
    writeSettings();
    start();
    NavigationNode* four = selectInList(
        QStringLiteral("Dan\\Four\\"), { QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("B") });
    Fileset* catalog = fileset(QStringLiteral("four.ktb"));
    m_questions->answerMessage(NoButton);
    window().deleteSelection();
    EXPECT_EQ(discTitles(catalog).size(), 4);

    m_questions->clearAsked();
    m_questions->answerMessage(YesButton);
    window().deleteSelection();
    EXPECT_EQ(m_questions->messageTexts(), (QStringList { QStringLiteral("Delete all selected items ?") }));
    EXPECT_EQ(m_questions->asked().front().caption, QStringLiteral("Delete"));
    EXPECT_EQ(m_questions->asked().front().icon, MessageIcon::Warning);
    EXPECT_TRUE(m_questions->asked().front().ownerless);
    ASSERT_EQ(discTitles(catalog), (QStringList { QStringLiteral("D") }));
    const std::uint32_t d = discOffsets(catalog).front();
    EXPECT_EQ(d, 256u);
    EXPECT_EQ(discContents(catalog, d), (QStringList { QStringLiteral("d folder/"), QStringLiteral("d.txt") }));
    EXPECT_EQ(rows(), (QStringList { QStringLiteral("D") }));
    ASSERT_EQ(childTexts(four), (QStringList { QStringLiteral("D") }));
    EXPECT_EQ(four->childNode(0)->item.offset, d);
}

TEST_F(ListDeleteTest, OneDiscAsksItsOwnQuestionAndTheDeleteKeyDoesNothing)
{
    buildFour();
    writeSettings();
    start();
    selectInList(QStringLiteral("Dan\\Four\\"), { QStringLiteral("B") });
    // No answer is queued: the key must ask nothing.
    QTest::keyClick(window().catalogView, Qt::Key_Delete);
    EXPECT_TRUE(m_questions->asked().empty());

    m_questions->answerMessage(YesButton);
    window().deleteSelection();
    EXPECT_EQ(m_questions->messageTexts(), (QStringList { QStringLiteral("Delete Disc \"B\"") }));
    EXPECT_EQ(discTitles(fileset(QStringLiteral("four.ktb"))),
        (QStringList { QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("D") }));
    EXPECT_EQ(rows(), (QStringList { QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("D") }));
}

TEST_F(ListDeleteTest, FilesetsAndOwnersFromTheList)
{
    startStandard();
    NavigationNode* alice
        = selectInList(QStringLiteral("Alice\\"), { QStringLiteral("Music"), QStringLiteral("Empty") });
    m_questions->answerMessage(YesButton);
    window().deleteSelection();
    EXPECT_TRUE(pathExists(storage() + "music.ktb.bak"));
    EXPECT_TRUE(pathExists(storage() + "empty.ktb.bak"));
    EXPECT_EQ(g_filesetRegistry->count(), 2);
    EXPECT_EQ(tree().selectedNode(), alice);
    EXPECT_EQ(alice->childCount(), 0);
    EXPECT_TRUE(rows().isEmpty());

    selectInList(QStringLiteral("[Root]"), { QStringLiteral("bob"), QStringLiteral("[Nobody]") });
    m_questions->answerMessage(YesButton);
    window().deleteSelection();
    EXPECT_EQ(childTexts(tree().ownersNode), (QStringList { QStringLiteral("[Nobody]") }));
    EXPECT_EQ(rows(), (QStringList { QStringLiteral("[Nobody]") }));
    EXPECT_EQ(fileset(QStringLiteral("photos.ktb"))->owner(), QString());
}

} // namespace
