// The list view: the columns and rows of every kind, the selection records, finding rows, and
// navigating from the list into the tree and back.
#include "tests/gui/mainwindow/mainwindowfixture.h"

#include "core/filesets/fileset.h"
#include "core/filesets/owner.h"
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
        window().pathEdit->setText(path);
        window().onGoClicked();
    }
    QStringList headers() const
    {
        QStringList captions;
        const QAbstractItemModel* model = g_catalogList->model;
        for (int i = 0; i < model->columnCount(); ++i) {
            captions << model->headerData(i, Qt::Horizontal).toString();
        }
        return captions;
    }
    QString cell(int row, int column) const { return g_catalogList->model->index(row, column).data().toString(); }
    /// The row whose caption is text (owner and fileset rows keep the registry's order, which is the
    /// order the folder lists its files in).
    int rowOf(const QString& text) const
    {
        for (int row = 0; row < g_catalogList->model->rowCount(); ++row) {
            if (cell(row, 0) == text) {
                return row;
            }
        }
        return -1;
    }
    void selectRows(std::initializer_list<int> rows)
    {
        QItemSelectionModel* selection = window().catalogView->selectionModel();
        selection->clearSelection();
        for (const int row : rows) {
            selection->select(
                g_catalogList->model->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        selection->setCurrentIndex(g_catalogList->model->index(*rows.begin(), 0), QItemSelectionModel::NoUpdate);
    }
};

TEST_F(ListViewTest, EveryKindHasItsColumnsAndRows)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=[Root]\r\n");
    start();
    QAbstractItemModelTester tester(g_catalogList->model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    EXPECT_EQ(headers(), (QStringList { QStringLiteral("Name"), QStringLiteral("Filesets") }));
    ASSERT_EQ(g_catalogList->model->rowCount(), 3);
    const int alice = rowOf(QStringLiteral("Alice"));
    ASSERT_GE(alice, 0);
    EXPECT_EQ(cell(alice, 1), QStringLiteral("2 Filesets"));
    EXPECT_EQ(cell(rowOf(QStringLiteral("[Nobody]")), 1), QStringLiteral("1 Filesets"));

    open(QStringLiteral("Alice\\"));
    EXPECT_EQ(headers(),
        (QStringList { QStringLiteral("Description"), QStringLiteral("Discs"), QStringLiteral("Data"),
            QStringLiteral("Modified") }));
    ASSERT_EQ(g_catalogList->model->rowCount(), 2);
    const int music = rowOf(QStringLiteral("Music"));
    ASSERT_GE(music, 0);
    EXPECT_EQ(cell(music, 1), QStringLiteral("2"));
    EXPECT_EQ(cell(music, 2), formatSize(5000));
    EXPECT_EQ(cell(music, 3), QLocale().toString(QDate(2001, 2, 3), QLocale::ShortFormat));
    EXPECT_EQ(cell(rowOf(QStringLiteral("Empty")), 1), QStringLiteral("0"));
    EXPECT_EQ(cell(rowOf(QStringLiteral("Empty")), 2), QStringLiteral("0 b"));

    open(QStringLiteral("Alice\\Music\\"));
    EXPECT_EQ(
        headers(), (QStringList { QStringLiteral("Title"), QStringLiteral("Used Space"), QStringLiteral("Capacity") }));
    ASSERT_EQ(g_catalogList->model->rowCount(), 2);
    EXPECT_EQ(cell(0, 0), QStringLiteral("Audio"));
    EXPECT_EQ(cell(1, 0), QStringLiteral("Disc 1"));
    EXPECT_EQ(cell(1, 1), formatSize(5000));

    open(QStringLiteral("Alice\\Music\\Disc 1\\"));
    EXPECT_EQ(headers(),
        (QStringList {
            QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Modified"), QStringLiteral("Comment") }));
    ASSERT_EQ(g_catalogList->model->rowCount(), 3);
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
    ASSERT_EQ(g_catalogList->model->rowCount(), 2);
    EXPECT_EQ(cell(1, 0), QStringLiteral("song.mp3"));
    EXPECT_EQ(cell(1, 1), formatSize(4000));
    EXPECT_TRUE(cell(1, 2).contains(QLocale().toString(QDate(2003, 5, 1), QLocale::ShortFormat)));

    open(QStringLiteral("[Search]"));
    EXPECT_EQ(g_catalogList->model->columnCount(), 0);
    EXPECT_EQ(g_catalogList->model->rowCount(), 0);
}

TEST_F(ListViewTest, ImagesOfRows)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=Alice\\Music\\\r\n");
    start();
    EXPECT_EQ(g_catalogList->kind, FilesetItem);
    const QIcon audio = g_catalogList->model->index(0, 0).data(Qt::DecorationRole).value<QIcon>();
    const QIcon data = g_catalogList->model->index(1, 0).data(Qt::DecorationRole).value<QIcon>();
    EXPECT_EQ(audio.cacheKey(), smallImageList().icon(AudioDiscImage).cacheKey());
    EXPECT_EQ(data.cacheKey(), smallImageList().icon(DataDiscImage).cacheKey());
}

TEST_F(ListViewTest, SelectionRecordsComeInListOrderForOwnerFilesetAndDiscRows)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=Alice\\Music\\\r\n");
    start();
    selectRows({ 1, 0 });
    ItemRefs items;
    ASSERT_TRUE(g_catalogList->selection(items));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].kind, DiscItem);
    EXPECT_EQ(items[0].offset, m_audioDisc);
    EXPECT_EQ(items[0].flags, 1u);
    EXPECT_EQ(items[1].offset, m_disc1);
    EXPECT_EQ(items[1].ref, items[0].ref);

    open(QStringLiteral("Alice\\"));
    selectRows({ rowOf(QStringLiteral("Music")) });
    ASSERT_TRUE(g_catalogList->selection(items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, FilesetItem);
    EXPECT_EQ(static_cast<Fileset*>(items[0].ref)->description(), QStringLiteral("Music"));

    open(QStringLiteral("[Root]"));
    selectRows({ rowOf(QStringLiteral("Alice")) });
    ASSERT_TRUE(g_catalogList->selection(items));
    EXPECT_EQ(items[0].kind, OwnerItem);
    EXPECT_EQ(static_cast<Owner*>(items[0].ref)->name, QStringLiteral("Alice"));

    open(QStringLiteral("Alice\\Music\\Disc 1\\"));
    selectRows({ 0 });
    EXPECT_FALSE(g_catalogList->selection(items));
    window().catalogView->selectionModel()->clearSelection();
    open(QStringLiteral("Alice\\Music\\"));
    EXPECT_FALSE(g_catalogList->selection(items));
}

TEST_F(ListViewTest, FindRowIgnoresAsciiCaseAndNeverFindsOwnersOrFilesets)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=Alice\\Music\\Disc 1\\\r\n");
    start();
    EXPECT_EQ(g_catalogList->findRow(QStringLiteral("README.TXT")), 2);
    EXPECT_EQ(g_catalogList->findRow(QStringLiteral("rock")), 1);
    EXPECT_EQ(g_catalogList->findRow(QStringLiteral("nothing")), -1);
    open(QStringLiteral("Alice\\"));
    EXPECT_EQ(g_catalogList->findRow(QStringLiteral("Music")), -1);
}

TEST_F(ListViewTest, DoubleClickEnterAndBackspaceNavigateTheTree)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=Alice\\Music\\Disc 1\\\r\n");
    start();
    selectRows({ 1 });
    window().onCatalogViewDoubleClicked();
    ASSERT_NE(tree().selectedNode(), nullptr);
    EXPECT_EQ(nodePath(&tree(), tree().selectedNode()), QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));
    EXPECT_EQ(g_catalogList->rowCount(), 2);

    // A file row has no node: nothing happens.
    selectRows({ 1 });
    window().onCatalogViewDoubleClicked();
    EXPECT_EQ(nodePath(&tree(), tree().selectedNode()), QStringLiteral("Alice\\Music\\Disc 1\\Rock\\"));

    window().catalogView->setFocus();
    QTest::keyClick(window().catalogView, Qt::Key_Backspace);
    EXPECT_EQ(nodePath(&tree(), tree().selectedNode()), QStringLiteral("Alice\\Music\\Disc 1\\"));
    selectRows({ 0 });
    QTest::keyClick(window().catalogView, Qt::Key_Return);
    EXPECT_EQ(nodePath(&tree(), tree().selectedNode()), QStringLiteral("Alice\\Music\\Disc 1\\Jazz\\"));
}

} // namespace
