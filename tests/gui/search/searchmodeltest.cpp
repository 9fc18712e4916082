// The two result models: columns, cells, images, and rows whose catalog cannot be read any more.
#include "tests/gui/search/searchlistsfixture.h"

#include "core/filesets/catalogerror.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "gui/common/systemicons.h"

#include <QFile>
#include <QPixmap>

namespace {

QStringList headers(const QAbstractItemModel* model)
{
    QStringList captions;
    for (int column = 0; column < model->columnCount(); ++column) {
        captions.append(model->headerData(column, Qt::Horizontal).toString());
    }
    return captions;
}

QStringList rowTexts(const QAbstractItemModel* model, int row)
{
    QStringList texts;
    for (int column = 0; column < model->columnCount(); ++column) {
        texts.append(model->index(row, column).data().toString());
    }
    return texts;
}

} // namespace

TEST_F(SearchListsTest, ColumnsAreNamedAsTheListsShowThem)
{
    EXPECT_EQ(headers(m_lists.discModel()),
        (QStringList { QStringLiteral("Title"), QStringLiteral("Owner"), QStringLiteral("File Matches"),
            QStringLiteral("Folder Matches") }));
    EXPECT_EQ(headers(m_lists.fileModel()),
        (QStringList {
            QStringLiteral("Name"), QStringLiteral("Location"), QStringLiteral("Size"), QStringLiteral("Modified") }));
    EXPECT_EQ(m_lists.discModel()->rowCount(), 0);
    EXPECT_EQ(m_lists.fileModel()->rowCount(), 0);
}

TEST_F(SearchListsTest, DiscRowsShowTitleOwnerAndTheirMatches)
{
    addCatalog("music.ktb", musicCatalog());
    addCatalog("plain.ktb", flatCatalog("Plain", { "o.txt" }));
    QList<QIcon> images;
    for (int i = 0; i < 8; ++i) {
        QPixmap pixmap(16, 16);
        pixmap.fill(QColor::fromHsv(i * 40, 255, 255));
        images.append(QIcon(pixmap));
    }
    m_lists.discModel()->setDiscImages(images);
    searchAll(QStringLiteral("o"));
    const QAbstractItemModel* model = m_lists.discModel();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(rowTexts(model, 0),
        (QStringList { QStringLiteral("CD 12"), QStringLiteral("Anna"), QStringLiteral("1"), QStringLiteral("2") }));
    EXPECT_EQ(rowTexts(model, 1),
        (QStringList {
            QStringLiteral("Holiday 2003"), QStringLiteral("Anna"), QStringLiteral("0"), QStringLiteral("0") }));
    // The owner column shows the owner text as stored: empty, not "[Nobody]".
    EXPECT_EQ(rowTexts(model, 2),
        (QStringList { QStringLiteral("Plain"), QString(), QStringLiteral("1"), QStringLiteral("0") }));
    EXPECT_EQ(model->index(0, 0).data(ImageIndexRole).toInt(), 4);
    const QIcon shown = model->index(0, 0).data(Qt::DecorationRole).value<QIcon>();
    EXPECT_EQ(shown.cacheKey(), images.at(4).cacheKey());
    EXPECT_FALSE(model->index(0, 1).data(Qt::DecorationRole).isValid());
}

TEST_F(SearchListsTest, FileRowsShowNameLocationSizeAndDateFoldersOnlyTheirLocation)
{
    addCatalog("music.ktb", musicCatalog());
    searchAll(QStringLiteral("o"));
    const QAbstractItemModel* model = m_lists.fileModel();
    const int song = fileRow(QStringLiteral("Song.MP3"));
    const int rock = fileRow(QStringLiteral("Rock"));
    ASSERT_GE(song, 0);
    ASSERT_GE(rock, 0);
    EXPECT_EQ(rowTexts(model, song),
        (QStringList { QStringLiteral("Song.MP3"), QStringLiteral("CD 12"), formatSize(1536),
            formatDosDateTime(CatalogBuilder::dosDateTime(2003, 5, 1, 12, 30, 10)) }));
    EXPECT_FALSE(model->index(song, 3).data().toString().isEmpty());
    EXPECT_EQ(
        rowTexts(model, rock), (QStringList { QStringLiteral("Rock"), QStringLiteral("CD 12"), QString(), QString() }));
    EXPECT_EQ(model->index(song, 0).data(ImageIndexRole).toInt(), systemIconIndex(QStringLiteral("Song.MP3"), false));
    EXPECT_EQ(model->index(rock, 0).data(ImageIndexRole).toInt(), systemIconIndex(QString(), false));
}

TEST_F(SearchListsTest, RowsWhoseCatalogIsGoneShowEmptyCellsInsteadOfFailing)
{
    addCatalog("music.ktb", musicCatalog());
    searchAll(QStringLiteral("o"));
    m_registry.at(0)->close();
    ASSERT_TRUE(QFile::remove(path("music.ktb")));
    const int song = fileRow(QStringLiteral("Song.MP3"));
    // The name is the result's own copy; the location needs the catalog.
    EXPECT_EQ(m_lists.fileModel()->index(song, 0).data().toString(), QStringLiteral("Song.MP3"));
    EXPECT_EQ(m_lists.fileModel()->index(song, 1).data().toString(), QString());
    EXPECT_EQ(m_lists.discModel()->index(0, 1).data().toString(), QString());
    EXPECT_THROW(CatalogSearch::resultPath(*m_helper.fileResults.at(song)), CatalogError);
}
