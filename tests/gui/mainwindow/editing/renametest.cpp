// Renaming in place: which labels and captions may be edited, what a rename writes to the catalogs
// and the owners, the title field's limit, and cancelled edits.
#include "tests/gui/mainwindow/editing/editfixture.h"

#include "core/filesets/fileset.h"
#include "core/filesets/owner.h"
#include "gui/mainwindow/cataloglist.h"

#include <QLineEdit>
#include <QTest>
#include <QTreeView>

namespace {

using RenameTest = EditFixture;

struct EditableCase {
    const char* path;
    bool editable;
};

class TreeLabelTest : public EditFixture, public testing::WithParamInterface<EditableCase> { };

TEST_P(TreeLabelTest, OnlyOwnersFilesetsAndDiscsAreEditable)
{
    startStandard();
    ASSERT_NE(open(QString::fromUtf8(GetParam().path)), nullptr);
    focusTree();
    window().rename();
    QLineEdit* editor = editorOf(window().navigationTree);
    EXPECT_EQ(editor != nullptr, GetParam().editable);
    if (editor != nullptr) {
        QTest::keyClick(editor, Qt::Key_Escape);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, TreeLabelTest,
    testing::Values(EditableCase { "[Root]", false }, EditableCase { "[Search]", false },
        EditableCase { "Alice\\", true }, EditableCase { "Alice\\Music\\", true },
        EditableCase { "Alice\\Music\\Disc 1\\", true }, EditableCase { "Alice\\Music\\Disc 1\\Rock\\", false }));

TEST_F(RenameTest, OwnerNameIsWrittenToEveryFilesetOfTheOwner)
{
    startStandard();
    NavigationNode* alice = renameInTree(QStringLiteral("Alice\\"), QStringLiteral("Anna"));

    EXPECT_EQ(alice->text(0), QStringLiteral("Anna"));
    EXPECT_EQ(tree().selectedNode(), alice);
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Anna\\"));
    EXPECT_EQ(static_cast<Owner*>(alice->item.ref)->name, QStringLiteral("Anna"));
    EXPECT_EQ(fileset(QStringLiteral("music.ktb"))->owner(), QStringLiteral("Anna"));
    EXPECT_EQ(fileset(QStringLiteral("empty.ktb"))->owner(), QStringLiteral("Anna"));
    // A rebuilt tree finds them under the new name.
    window().refresh();
    EXPECT_EQ(
        childTexts(node(QStringLiteral("Anna\\"))), (QStringList { QStringLiteral("Empty"), QStringLiteral("Music") }));
}

TEST_F(RenameTest, FilesetNameIsItsDescription)
{
    startStandard();
    NavigationNode* music = renameInTree(QStringLiteral("Alice\\Music\\"), QStringLiteral("Songs"));
    EXPECT_EQ(music->text(0), QStringLiteral("Songs"));
    EXPECT_EQ(fileset(QStringLiteral("music.ktb"))->description(), QStringLiteral("Songs"));
    // The owner's list shows it too.
    open(QStringLiteral("Alice\\"));
    EXPECT_TRUE(rows().contains(QStringLiteral("Songs")));
}

TEST_F(RenameTest, DiscTitleKeepsItsFirst63BytesWithoutSplittingACharacter)
{
    startStandard();
    NavigationNode* disc = open(QStringLiteral("Alice\\Music\\Disc 1\\"));
    const QString seventy = QStringLiteral("0123456789").repeated(7);
    focusTree();
    window().rename();
    commitEdit(window().navigationTree, seventy);
    EXPECT_EQ(
        discTitles(fileset(QStringLiteral("music.ktb"))), (QStringList { seventy.left(63), QStringLiteral("Audio") }));
    // The node names the disc as it is stored, so its path finds it.
    EXPECT_EQ(disc->text(0), seventy.left(63));
    EXPECT_EQ(disc->item.offset, m_disc1);
    EXPECT_EQ(node(QStringLiteral("Alice\\Music\\") + seventy.left(63)), disc);

    // 62 ASCII bytes and two 2-byte letters: the first letter no longer fits whole.
    const QString accented = QString(62, QLatin1Char('x')) + QStringLiteral("\u00e9\u00e9");
    focusTree();
    window().rename();
    commitEdit(window().navigationTree, accented);
    EXPECT_EQ(discTitles(fileset(QStringLiteral("music.ktb"))).front(), QString(62, QLatin1Char('x')));
}

TEST_F(RenameTest, CancelledEditChangesNothing)
{
    startStandard();
    NavigationNode* alice = open(QStringLiteral("Alice\\"));
    focusTree();
    window().rename();
    QLineEdit* editor = editorOf(window().navigationTree);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Somebody"));
    QTest::keyClick(editor, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([this] { return editorOf(window().navigationTree) == nullptr; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(alice->text(0), QStringLiteral("Alice"));
    EXPECT_EQ(fileset(QStringLiteral("music.ktb"))->owner(), QStringLiteral("Alice"));
}

TEST_F(RenameTest, RowRenamedInTheListRefreshesListAndTree)
{
    startStandard();
    NavigationNode* music = selectInList(QStringLiteral("Alice\\Music\\"), { QStringLiteral("Disc 1") });
    window().rename();
    commitEdit(window().catalogView, QStringLiteral("First Disc"));
    EXPECT_TRUE(rows().contains(QStringLiteral("First Disc")));
    EXPECT_EQ(discTitles(fileset(QStringLiteral("music.ktb"))),
        (QStringList { QStringLiteral("First Disc"), QStringLiteral("Audio") }));
    EXPECT_EQ(childTexts(music), (QStringList { QStringLiteral("Audio"), QStringLiteral("First Disc") }));

    // Owner rows: the owner's filesets take the name.
    selectInList(QStringLiteral("[Root]"), { QStringLiteral("bob") });
    window().rename();
    commitEdit(window().catalogView, QStringLiteral("Bobby"));
    EXPECT_TRUE(rows().contains(QStringLiteral("Bobby")));
    EXPECT_EQ(fileset(QStringLiteral("photos.ktb"))->owner(), QStringLiteral("Bobby"));
    EXPECT_TRUE(childTexts(tree().ownersNode).contains(QStringLiteral("Bobby")));
}

TEST_F(RenameTest, FolderAndFileRowsAreNotEditable)
{
    startStandard();
    selectInList(QStringLiteral("Alice\\Music\\Disc 1\\"), { QStringLiteral("Rock") });
    window().rename();
    EXPECT_EQ(editorOf(window().catalogView), nullptr);
    EXPECT_FALSE(g_catalogList->model->flags(g_catalogList->model->index(0, 0)).testFlag(Qt::ItemIsEditable));
}

} // namespace
