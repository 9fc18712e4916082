// The list view: the columns and rows of every kind, the selection records, finding rows, and
// navigating from the list into the tree and back.
#include "tests/gui/mainwindow/mainwindowfixture.h"

#include "core/filesets/fileset.h"
#include "core/text/formatsize.h"
#include "gui/common/appicons.h"
#include "gui/mainwindow/cataloglist.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <QTreeView>

namespace {

class ListViewTest : public MainWindowFixture {
protected:
    void open(const QString& path)
    {
        window().Edit1->setText(path);
        window().Button2Click();
    }
    QStringList headers() const
    {
        QStringList captions;
        const QAbstractItemModel* model = ListHelper->Model;
        for (int i = 0; i < model->columnCount(); ++i) {
            captions << model->headerData(i, Qt::Horizontal).toString();
        }
        return captions;
    }
    QString cell(int row, int column) const { return ListHelper->Model->index(row, column).data().toString(); }
    /// The row whose caption is text (owner and fileset rows keep the registry's order, which is the
    /// order the folder lists its files in).
    int rowOf(const QString& text) const
    {
        for (int row = 0; row < ListHelper->Model->rowCount(); ++row) {
            if (cell(row, 0) == text) {
                return row;
            }
        }
        return -1;
    }
    void selectRows(std::initializer_list<int> rows)
    {
        QItemSelectionModel* selection = window().lv->selectionModel();
        selection->clearSelection();
        for (const int row : rows) {
            selection->select(
                ListHelper->Model->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        selection->setCurrentIndex(ListHelper->Model->index(*rows.begin(), 0), QItemSelectionModel::NoUpdate);
    }
};

TEST_F(ListViewTest, EveryKindHasItsColumnsAndRows)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=[Root]\r\n");
    start();
    QAbstractItemModelTester tester(ListHelper->Model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    EXPECT_EQ(headers(), (QStringList { QStringLiteral("Name"), QStringLiteral("Filesets") }));
    ASSERT_EQ(ListHelper->Model->rowCount(), 3);
    const int alice = rowOf(QStringLiteral("Alice"));
    ASSERT_GE(alice, 0);
    EXPECT_EQ(cell(alice, 1), QStringLiteral("2 Filesets"));
    EXPECT_EQ(cell(rowOf(QStringLiteral("[Nobody]")), 1), QStringLiteral("1 Filesets"));

    open(QStringLiteral("Alice\\"));
    EXPECT_EQ(headers(),
        (QStringList { QStringLiteral("Description"), QStringLiteral("Discs"), QStringLiteral("Data"),
            QStringLiteral("Modified") }));
    ASSERT_EQ(ListHelper->Model->rowCount(), 2);
    const int music = rowOf(QStringLiteral("Music"));
    ASSERT_GE(music, 0);
    EXPECT_EQ(cell(music, 1), QStringLiteral("2"));
    EXPECT_EQ(cell(music, 2), FormatSize(5000));
    EXPECT_EQ(cell(music, 3), QLocale().toString(QDate(2001, 2, 3), QLocale::ShortFormat));
    EXPECT_EQ(cell(rowOf(QStringLiteral("Empty")), 1), QStringLiteral("0"));
    EXPECT_EQ(cell(rowOf(QStringLiteral("Empty")), 2), QStringLiteral("0 b"));

    open(QStringLiteral("Alice\\Music\\"));
    EXPECT_EQ(
        headers(), (QStringList { QStringLiteral("Title"), QStringLiteral("Used Space"), QStringLiteral("Capacity") }));
    ASSERT_EQ(ListHelper->Model->rowCount(), 2);
    EXPECT_EQ(cell(0, 0), QStringLiteral("Audio"));
    EXPECT_EQ(cell(1, 0), QStringLiteral("Disc 1"));
    EXPECT_EQ(cell(1, 1), FormatSize(5000));

    open(QStringLiteral("Alice\\Music\\Disc 1\\"));
    EXPECT_EQ(headers(),
        (QStringList {
            QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Modified"), QStringLiteral("Comment") }));
    ASSERT_EQ(ListHelper->Model->rowCount(), 3);
    // Folders come before files; a folder row says "Folder" and has no size or date.
    EXPECT_EQ(cell(0, 0), QStringLiteral("Jazz"));
    EXPECT_EQ(cell(1, 0), QStringLiteral("Rock"));
    EXPECT_EQ(cell(1, 1), QString());
    EXPECT_EQ(cell(1, 2), QString());
    EXPECT_EQ(cell(1, 3), QStringLiteral("Folder"));
    EXPECT_EQ(cell(2, 0), QStringLiteral("readme.txt"));
    EXPECT_EQ(cell(2, 1), QStringLiteral("100 b"));
    EXPECT_EQ(cell(2, 2), QString()); // DateTime 0 is no date
    EXPECT_EQ(cell(2, 3), QString());

    open(QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    ASSERT_EQ(ListHelper->Model->rowCount(), 2);
    EXPECT_EQ(cell(1, 0), QStringLiteral("song.mp3"));
    EXPECT_EQ(cell(1, 1), FormatSize(4000));
    EXPECT_TRUE(cell(1, 2).contains(QLocale().toString(QDate(2003, 5, 1), QLocale::ShortFormat)));

    open(QStringLiteral("[Search]"));
    EXPECT_EQ(ListHelper->Model->columnCount(), 0);
    EXPECT_EQ(ListHelper->Model->rowCount(), 0);
}

TEST_F(ListViewTest, ImagesOfRows)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=Alice\\Music\\\r\n");
    start();
    EXPECT_EQ(ListHelper->Kind, ikFileset);
    const QIcon audio = ListHelper->Model->index(0, 0).data(Qt::DecorationRole).value<QIcon>();
    const QIcon data = ListHelper->Model->index(1, 0).data(Qt::DecorationRole).value<QIcon>();
    EXPECT_EQ(audio.cacheKey(), SmallImages().Icon(imgAudioDisc).cacheKey());
    EXPECT_EQ(data.cacheKey(), SmallImages().Icon(imgDataDisc).cacheKey());
}

TEST_F(ListViewTest, SelectionRecordsComeInListOrderForOwnerFilesetAndDiscRows)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=Alice\\Music\\\r\n");
    start();
    selectRows({ 1, 0 });
    TItemDataArray items;
    ASSERT_TRUE(ListHelper->GetSelection(items));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].Kind, ikDisc);
    EXPECT_EQ(items[0].Offset, m_audioDisc);
    EXPECT_EQ(items[0].Flags, 1u);
    EXPECT_EQ(items[1].Offset, m_disc1);
    EXPECT_EQ(items[1].Ref, items[0].Ref);

    open(QStringLiteral("Alice\\"));
    selectRows({ rowOf(QStringLiteral("Music")) });
    ASSERT_TRUE(ListHelper->GetSelection(items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Kind, ikFileset);
    EXPECT_EQ(static_cast<TKTBFile*>(items[0].Ref)->GetDescription(), QStringLiteral("Music"));

    open(QStringLiteral("[Root]"));
    selectRows({ rowOf(QStringLiteral("Alice")) });
    ASSERT_TRUE(ListHelper->GetSelection(items));
    EXPECT_EQ(items[0].Kind, ikOwner);
    EXPECT_EQ(static_cast<TKTBOwner*>(items[0].Ref)->Name, QStringLiteral("Alice"));

    open(QStringLiteral("Alice\\Music\\Disc 1\\"));
    selectRows({ 0 });
    EXPECT_FALSE(ListHelper->GetSelection(items));
    window().lv->selectionModel()->clearSelection();
    open(QStringLiteral("Alice\\Music\\"));
    EXPECT_FALSE(ListHelper->GetSelection(items));
}

TEST_F(ListViewTest, FindRowIgnoresAsciiCaseAndNeverFindsOwnersOrFilesets)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=Alice\\Music\\Disc 1\\\r\n");
    start();
    EXPECT_EQ(ListHelper->FindRow(QStringLiteral("README.TXT")), 2);
    EXPECT_EQ(ListHelper->FindRow(QStringLiteral("rock")), 1);
    EXPECT_EQ(ListHelper->FindRow(QStringLiteral("nothing")), -1);
    open(QStringLiteral("Alice\\"));
    EXPECT_EQ(ListHelper->FindRow(QStringLiteral("Music")), -1);
}

TEST_F(ListViewTest, DoubleClickEnterAndBackspaceNavigateTheTree)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=Alice\\Music\\Disc 1\\\r\n");
    start();
    selectRows({ 1 });
    window().lvDblClick();
    ASSERT_NE(tree().selectedNode(), nullptr);
    EXPECT_EQ(NodePath(&tree(), tree().selectedNode()), QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    EXPECT_EQ(ListHelper->RowCount(), 2);

    // A file row has no node: nothing happens.
    selectRows({ 1 });
    window().lvDblClick();
    EXPECT_EQ(NodePath(&tree(), tree().selectedNode()), QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));

    window().lv->setFocus();
    QTest::keyClick(window().lv, Qt::Key_Backspace);
    EXPECT_EQ(NodePath(&tree(), tree().selectedNode()), QStringLiteral("Alice\\Music\\Disc 1\\"));
    selectRows({ 0 });
    QTest::keyClick(window().lv, Qt::Key_Return);
    EXPECT_EQ(NodePath(&tree(), tree().selectedNode()), QStringLiteral("Alice\\Music\\Disc 1\\Jazz\\"));
}

} // namespace
