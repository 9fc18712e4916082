// The two result models: columns, cells, images, and rows whose catalog cannot be read any more.
#include "tests/gui/search/searchlistsfixture.h"

#include "core/filesets/catalogerror.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "gui/common/systemicons.h"

#include "engine/ktb_io.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QSet>
#include <algorithm>
#include <map>
#include <set>

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
            QStringLiteral("Folder Matches"), QStringLiteral("Fileset") }));
    EXPECT_EQ(headers(m_lists.fileModel()),
        (QStringList { QStringLiteral("Name"), QStringLiteral("Location"), QStringLiteral("Size"),
            QStringLiteral("Modified"), QStringLiteral("In folder"), QStringLiteral("Fileset") }));
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
        (QStringList { QStringLiteral("CD 12"), QStringLiteral("Anna"), QStringLiteral("1"), QStringLiteral("2"),
            QStringLiteral("Mine") }));
    EXPECT_EQ(rowTexts(model, 1),
        (QStringList { QStringLiteral("Holiday 2003"), QStringLiteral("Anna"), QStringLiteral("0"), QStringLiteral("0"),
            QStringLiteral("Mine") }));
    // The owner column shows the owner text as stored: empty, not "[Nobody]".
    EXPECT_EQ(rowTexts(model, 2),
        (QStringList { QStringLiteral("Plain"), QString(), QStringLiteral("1"), QStringLiteral("0"),
            QStringLiteral("plain.ktb") }));
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
            formatDosDateTime(CatalogBuilder::dosDateTime(2003, 5, 1, 12, 30, 10)), QStringLiteral("\\Music\\Rock"),
            QStringLiteral("Mine") }));
    EXPECT_FALSE(model->index(song, 3).data().toString().isEmpty());
    EXPECT_EQ(rowTexts(model, rock),
        (QStringList { QStringLiteral("Rock"), QStringLiteral("CD 12"), QString(), QString(), QStringLiteral("\\Music"),
            QStringLiteral("Mine") }));
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

namespace {

/// "\A\B" for each folder and file of a catalog, by its offset: the folders inside the disc that hold
/// it, as a plain walk over every record meets them.
std::map<std::uint32_t, QString> folderPathsOfWalk(const QString& path)
{
    std::map<std::uint32_t, QString> paths;
    TKTBHandle* handle = nullptr;
    EXPECT_EQ(ktbOpen(handle, path.toLocal8Bit().constData(), KTB_OPEN_READONLY), KTB_OK);
    QStringList folders;
    TKTBCursor* cursor = ktbFindFirstAll(handle, KTB_FIND_ENDMARKS);
    for (bool more = cursor != nullptr; more; more = ktbFindNext(cursor) == KTB_OK) {
        const TKTBEntity* entity = cursor->Current;
        const QString inFolder = folders.isEmpty() ? QStringLiteral("\\") : QLatin1Char('\\') + folders.join(u'\\');
        switch (entity->Kind) {
        case KTB_TAG_DISC:
            folders.clear();
            break;
        case KTB_TAG_FOLDER:
            paths[entity->Offset] = inFolder;
            folders.append(decodeCatalogText(entity->name()));
            break;
        case KTB_TAG_FILE:
            paths[entity->Offset] = inFolder;
            break;
        case KTB_TAG_ENDFOLDER:
            folders.removeLast();
            break;
        default:
            break;
        }
    }
    ktbFindClose(cursor);
    ktbClose(handle);
    return paths;
}

/// Disc "Deep": folders L1 to L130 nested, "x.txt" at the disc's top and at levels 62 to 65, 70, 127
/// and 130 (below the 64 entries a walk's chain keeps), and folders "x 63" and "x 66" beside them.
CatalogBuilder deepCatalog()
{
    CatalogBuilder catalog;
    catalog.setOwner("Anna").setName("Deep set");
    catalog.beginDisc({ .serial = 7, .title = "Deep" });
    catalog.addFile("x.txt", 1);
    const std::set<int> filesAt { 62, 63, 64, 65, 70, 127, 130 };
    for (int level = 1; level <= 130; ++level) {
        catalog.beginFolder("L" + std::to_string(level));
        if (filesAt.contains(level)) {
            catalog.addFile("x.txt", static_cast<std::uint32_t>(level));
        }
        if (level == 63 || level == 66) {
            catalog.beginFolder("x " + std::to_string(level));
            catalog.endFolder();
        }
    }
    for (int level = 1; level <= 130; ++level) {
        catalog.endFolder();
    }
    catalog.endDisc();
    return catalog;
}

} // namespace

TEST_F(SearchListsTest, InFolderAndFilesetTellMatchesOfTheSameNameApartAtAnyDepth)
{
    addCatalog("deep.ktb", deepCatalog());
    addCatalog("plain.ktb", flatCatalog("Plain", { "x.txt" }, "Bob"));
    searchAll(QStringLiteral("x"));
    const std::map<std::uint32_t, QString> deep = folderPathsOfWalk(path("deep.ktb"));
    const QAbstractItemModel* model = m_lists.fileModel();
    ASSERT_EQ(model->rowCount(), 11);
    EXPECT_EQ(model->headerData(4, Qt::Horizontal).toString(), QStringLiteral("In folder"));
    EXPECT_EQ(model->headerData(5, Qt::Horizontal).toString(), QStringLiteral("Fileset"));
    QSet<QString> inFolders;
    for (int row = 0; row < model->rowCount(); ++row) {
        const EntityEntry& entry = *m_helper.fileResults.at(row);
        const QString inFolder = model->index(row, 4).data().toString();
        const QString fileset = model->index(row, 5).data().toString();
        if (entry.fileset == m_registry.at(1)) {
            EXPECT_EQ(inFolder, QStringLiteral("\\"));
            EXPECT_EQ(fileset, QStringLiteral("plain.ktb"));
            continue;
        }
        EXPECT_EQ(fileset, QStringLiteral("Deep set"));
        EXPECT_EQ(inFolder, deep.at(entry.entity->Offset)) << "row " << row;
        inFolders.insert(inFolder);
        // The path that opens the result names the same folders, and a folder's own name last.
        QString expectedPath = QStringLiteral("Anna\\Deep set\\Deep")
            + (inFolder == QStringLiteral("\\") ? QString() : inFolder) + QLatin1Char('\\');
        if (entry.entity->Kind == KTB_TAG_FOLDER) {
            expectedPath += decodeCatalogText(entry.entity->name()) + QLatin1Char('\\');
        }
        EXPECT_EQ(CatalogSearch::resultPath(entry), expectedPath) << "row " << row;
    }
    EXPECT_EQ(inFolders.size(), 9) << "the disc's top and eight folders";

    // Folders that cannot be found again (the record is no longer where the search met it) are never
    // named by another folder: the path is marked as shortened.
    EntityEntry* found = nullptr;
    for (int row = 0; row < m_helper.fileResults.count(); ++row) {
        const TKTBFileData* file = m_helper.fileResults.at(row)->entity->file();
        if (file != nullptr && file->Size == 130) {
            found = m_helper.fileResults.at(row);
        }
    }
    ASSERT_NE(found, nullptr);
    EntityEntry& deepest = *found;
    ASSERT_EQ(deepest.ancestors->Count(), 64);
    deepest.entity->Offset = 257;
    EXPECT_FALSE(CatalogSearch::fullAncestors(deepest));
    EXPECT_TRUE(CatalogSearch::folderPathOf(deepest).endsWith(QStringLiteral("\\...\\")));
    EXPECT_TRUE(CatalogSearch::resultPath(deepest).endsWith(QStringLiteral("\\...\\")));
}

TEST_F(SearchListsTest, HeaderClickSortsRowsAndSelectionFollowsTheResult)
{
    addCatalog("deep.ktb", deepCatalog());
    addCatalog("music.ktb", musicCatalog());
    searchAll(QStringLiteral("t"));
    FileResultModel* model = m_lists.fileModel();
    const auto column = [model](int index) {
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row) {
            texts.append(model->index(row, index).data().toString());
        }
        return texts;
    };
    const QStringList searchOrder = column(0);
    QItemSelectionModel selection(model);
    ASSERT_TRUE(m_lists.attachFileView(&selection));

    model->sort(2, Qt::AscendingOrder);
    std::vector<std::uint32_t> sizes;
    for (int row = 0; row < model->rowCount(); ++row) {
        const TKTBFileData* file = model->entryAt(row)->entity->file();
        sizes.push_back(file != nullptr ? file->Size : 0);
    }
    EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()));
    selection.select(model->index(model->rowCount() - 1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const TKTBFileData* largest = m_lists.selectedFileEntry()->entity->file();
    ASSERT_NE(largest, nullptr);
    EXPECT_EQ(largest->Size, 130u);
    EXPECT_TRUE(m_lists.selectedFilePath().endsWith(QStringLiteral("\\L130\\")));

    model->sort(5, Qt::DescendingOrder);
    EXPECT_EQ(column(5).first(), QStringLiteral("Mine"));
    EXPECT_EQ(column(5).last(), QStringLiteral("Deep set"));
    model->sort(4, Qt::AscendingOrder);
    QStringList paths = column(4);
    EXPECT_TRUE(std::is_sorted(paths.begin(), paths.end(),
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; }));
    // Back to the search's order, which a new search keeps when no column was chosen.
    model->sort(-1);
    EXPECT_EQ(column(0), searchOrder);
}
