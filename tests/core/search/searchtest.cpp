// TSearchHelper: what a search finds, its order, disc results, paths, progress, failures, and the
// results of filesets the registry deletes.
#include "tests/core/search/searchfixture.h"

#include "engine/ktb_io.h"

#include <QFile>
#include <QItemSelectionModel>
#include <stdexcept>

struct MatchCase {
    const char* name;
    QString text;
    QStringList files; ///< folders and files, in result order
    QStringList discs;
};

void PrintTo(const MatchCase& param, std::ostream* out) { *out << param.name; }

class SearchMatchTest : public SearchTest, public ::testing::WithParamInterface<MatchCase> { };

TEST_P(SearchMatchTest, FindsFoldersFilesAndDiscs)
{
    addCatalog("music.ktb", musicCatalog());
    searchAll(GetParam().text);
    EXPECT_EQ(fileNames(), GetParam().files);
    EXPECT_EQ(discTitles(), GetParam().discs);
    EXPECT_EQ(m_helper.HasResults(), !GetParam().files.isEmpty() || !GetParam().discs.isEmpty());
    expectModelsShowTheLists();
}

INSTANTIATE_TEST_SUITE_P(Texts, SearchMatchTest,
    ::testing::Values(MatchCase { "Contains", QStringLiteral("mp3"),
                          { QStringLiteral("mp3 collection"), QStringLiteral("a.mp3"), QStringLiteral("a.mp3.bak"),
                              QStringLiteral("Song.MP3") },
                          { QStringLiteral("CD 12") } },
        MatchCase { "Suffix", QStringLiteral("*.mp3"), { QStringLiteral("a.mp3"), QStringLiteral("Song.MP3") },
            { QStringLiteral("CD 12") } },
        MatchCase {
            "Prefix", QStringLiteral("track*"), { QStringLiteral("Track01.wav") }, { QStringLiteral("CD 12") } },
        // Every folder and file; every disc that holds something, not the empty one.
        MatchCase { "Empty", QString(),
            { QStringLiteral("mp3 collection"), QStringLiteral("Music"), QStringLiteral("Rock"),
                QStringLiteral("a.mp3"), QStringLiteral("a.mp3.bak"), QStringLiteral("beach.jpg"),
                QStringLiteral("MyTrack.wav"), QStringLiteral("Song.MP3"), QStringLiteral("Track01.wav") },
            { QStringLiteral("CD 12"), QStringLiteral("Holiday 2003") } },
        // The title alone makes a disc result.
        MatchCase { "TitleOnly", QStringLiteral("holiday"), {}, { QStringLiteral("Holiday 2003") } },
        MatchCase { "TitleInTheMiddle", QStringLiteral("y 2"), {}, { QStringLiteral("Holiday 2003") } },
        MatchCase { "Nothing", QStringLiteral("zzz"), {}, {} }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SearchTest, DiscCountersHoldTheDiscsOwnMatchesAndTitleResultsShowZero)
{
    addCatalog("music.ktb", musicCatalog());
    searchAll(QStringLiteral("o"));
    // CD 12: the file Song.MP3 and the folders Rock and mp3 collection. Holiday 2003 has no match
    // inside, but its title holds the text.
    const TEntityEntry* cd = discResult(QStringLiteral("CD 12"));
    ASSERT_NE(cd, nullptr);
    EXPECT_EQ(cd->Entity->disc()->Files, 1u);
    EXPECT_EQ(cd->Entity->disc()->Folders, 2u);
    EXPECT_EQ(m_helper.FileMatches(), 1u);
    EXPECT_EQ(m_helper.FolderMatches(), 2u);
    EXPECT_EQ(discTitles(), (QStringList { QStringLiteral("CD 12"), QStringLiteral("Holiday 2003") }));

    searchAll(QStringLiteral("holiday"));
    const TEntityEntry* holiday = discResult(QStringLiteral("Holiday 2003"));
    ASSERT_NE(holiday, nullptr);
    EXPECT_EQ(holiday->Entity->disc()->Files, 0u);
    EXPECT_EQ(holiday->Entity->disc()->Folders, 0u);
    EXPECT_EQ(holiday->Fileset, m_registry.Items(0));
    EXPECT_EQ(holiday->Ancestors, nullptr);
}

TEST_F(SearchTest, AsteriskIsAnOrdinaryCharacterInTitles)
{
    CatalogBuilder catalog;
    catalog.addEmptyDisc({ .serial = 1, .title = "Best * Hits" });
    catalog.addEmptyDisc({ .serial = 2, .title = "Best Hits" });
    catalog.addEmptyDisc({ .serial = 3, .title = "Most *" });
    addCatalog("hits.ktb", catalog);
    searchAll(QStringLiteral("t *"));
    EXPECT_EQ(discTitles(), (QStringList { QStringLiteral("Best * Hits"), QStringLiteral("Most *") }));
    searchAll(QStringLiteral("*"));
    EXPECT_EQ(discTitles(), (QStringList { QStringLiteral("Best * Hits"), QStringLiteral("Most *") }));
}

TEST_F(SearchTest, TitlesMatchInEitherEncoding)
{
    CatalogBuilder catalog;
    catalog.addEmptyDisc({ .serial = 1, .title = "Caf\xe9 del Mar" }); // Windows-1252
    catalog.addEmptyDisc({ .serial = 2, .title = "CAF\xc3\xa9 2" }); // UTF-8, upper-case ASCII
    catalog.addEmptyDisc({ .serial = 3, .title = "CAF\xc3\x89" }); // É is not folded
    addCatalog("cafe.ktb", catalog);
    searchAll(QStringLiteral("caf\u00e9"));
    ASSERT_EQ(m_helper.DiscResultCount(), 2);
    EXPECT_EQ(m_helper.DiscModel()->index(0, 0).data().toString(), QStringLiteral("CAF\u00e9 2"));
    EXPECT_EQ(m_helper.DiscModel()->index(1, 0).data().toString(), QStringLiteral("Caf\u00e9 del Mar"));
}

TEST_F(SearchTest, ResultsAreOrderedFoldersFirstThenFilesRegardlessOfTheirFileset)
{
    CatalogBuilder first;
    first.beginDisc({ .serial = 1, .title = "Z" });
    first.addFile("b.txt");
    first.beginFolder("Docs");
    first.addFile("D.txt");
    first.endFolder();
    first.endDisc();
    CatalogBuilder second;
    second.beginDisc({ .serial = 2, .title = "a" });
    second.addFile("A.txt");
    second.beginFolder("cache");
    second.addFile("c.txt");
    second.endFolder();
    second.endDisc();
    addCatalog("1.ktb", first);
    addCatalog("2.ktb", second);
    searchAll(QString());
    EXPECT_EQ(fileNames(),
        (QStringList { QStringLiteral("cache"), QStringLiteral("Docs"), QStringLiteral("A.txt"),
            QStringLiteral("b.txt"), QStringLiteral("c.txt"), QStringLiteral("D.txt") }));
    EXPECT_EQ(discTitles(), (QStringList { QStringLiteral("a"), QStringLiteral("Z") }));
}

TEST_F(SearchTest, ResultPathsNameOwnerDescriptionDiscAndFolders)
{
    addCatalog("music.ktb", musicCatalog());
    addCatalog("plain.ktb", flatCatalog("Plain Disc", { "song.mp3" }));
    searchAll(QStringLiteral("o"));
    const TEntityEntry* song = fileResult(QStringLiteral("Song.MP3"));
    const TEntityEntry* rock = fileResult(QStringLiteral("Rock"));
    const TEntityEntry* plain = fileResult(QStringLiteral("song.mp3"));
    ASSERT_NE(song, nullptr);
    ASSERT_NE(rock, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(TSearchHelper::ResultPath(*song), QStringLiteral("Anna\\Mine\\CD 12\\Music\\Rock\\"));
    EXPECT_EQ(TSearchHelper::ResultPath(*rock), QStringLiteral("Anna\\Mine\\CD 12\\Music\\Rock\\"));
    EXPECT_EQ(TSearchHelper::ResultPath(*plain), QStringLiteral("[Nobody]\\plain.ktb\\Plain Disc\\"));
    EXPECT_EQ(TSearchHelper::DiscTitleOf(*song), QStringLiteral("CD 12"));
    EXPECT_EQ(TSearchHelper::DiscPath(*discResult(QStringLiteral("Plain Disc"))),
        QStringLiteral("[Nobody]\\plain.ktb\\Plain Disc\\"));
}

TEST_F(SearchTest, SelectedPathsFollowTheViewsSelection)
{
    addCatalog("music.ktb", musicCatalog());
    QItemSelectionModel discSelection(m_helper.DiscModel());
    QItemSelectionModel fileSelection(m_helper.FileModel());
    EXPECT_FALSE(m_helper.AttachDiscView(&fileSelection)); // a selection of the other list
    ASSERT_TRUE(m_helper.AttachDiscView(&discSelection));
    ASSERT_TRUE(m_helper.AttachFileView(&fileSelection));
    searchAll(QStringLiteral("mp3"));
    EXPECT_EQ(m_helper.SelectedDiscPath(), QString());
    EXPECT_EQ(m_helper.SelectedFilePath(), QString());

    discSelection.select(m_helper.DiscModel()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(m_helper.SelectedDiscPath(), QStringLiteral("Anna\\Mine\\CD 12\\"));
    // With several rows selected the first one counts, as in a list view.
    const QModelIndex last = m_helper.FileModel()->index(fileRow(QStringLiteral("Song.MP3")), 0);
    const QModelIndex first = m_helper.FileModel()->index(fileRow(QStringLiteral("mp3 collection")), 0);
    fileSelection.select(last, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(m_helper.SelectedFilePath(), QStringLiteral("Anna\\Mine\\CD 12\\Music\\Rock\\"));
    fileSelection.select(first, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(m_helper.SelectedFilePath(), QStringLiteral("Anna\\Mine\\CD 12\\Music\\mp3 collection\\"));

    // A new search resets the models, which clears the selection.
    searchAll(QStringLiteral("mp3"));
    EXPECT_EQ(m_helper.SelectedFilePath(), QString());
    // A view that goes away is forgotten.
    {
        QItemSelectionModel gone(m_helper.FileModel());
        m_helper.AttachFileView(&gone);
    }
    EXPECT_EQ(m_helper.SelectedFileRow(), -1);
}

TEST_F(SearchTest, SecondSearchReplacesTheFirstAlsoWhenItFindsNothing)
{
    addCatalog("music.ktb", musicCatalog());
    searchAll(QStringLiteral("mp3"));
    ASSERT_EQ(m_helper.FileResults.Count(), 4);
    searchAll(QStringLiteral("wav"));
    EXPECT_EQ(fileNames(), (QStringList { QStringLiteral("MyTrack.wav"), QStringLiteral("Track01.wav") }));
    EXPECT_EQ(m_helper.FileMatches(), 2u);
    searchAll(QStringLiteral("nothing like it"));
    EXPECT_FALSE(m_helper.HasResults());
    EXPECT_EQ(m_helper.FileMatches(), 0u);
    EXPECT_EQ(m_helper.DiscResultCount(), 0);
    expectModelsShowTheLists();
}

TEST_F(SearchTest, ProgressRunsFromZeroToTheBytesOfTheChosenFilesets)
{
    addCatalog("music.ktb", musicCatalog());
    addCatalog("plain.ktb", flatCatalog("Plain", { "x" }));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    m_helper.OnProgress
        = [&calls](TSearchHelper* helper) { calls.emplace_back(helper->DoneBytes(), helper->TotalBytes()); };
    searchAll(QStringLiteral("x"));
    const std::uint64_t total = m_registry.Items(0)->DataSize() + m_registry.Items(1)->DataSize();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front(), std::make_pair(std::uint64_t { 0 }, total));
    EXPECT_EQ(calls.back(), std::make_pair(total, total));
}

TEST_F(SearchTest, NothingChosenCallsTheListenerOnceWithNothingToDo)
{
    addCatalog("music.ktb", musicCatalog());
    addCatalog("empty.ktb", CatalogBuilder());
    for (const std::vector<int>& indexes : { std::vector<int> {}, std::vector<int> { 1 } }) {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
        m_helper.OnProgress
            = [&calls](TSearchHelper* helper) { calls.emplace_back(helper->DoneBytes(), helper->TotalBytes()); };
        search(QString(), indexes);
        EXPECT_EQ(calls, (std::vector<std::pair<std::uint64_t, std::uint64_t>> { { 0, 0 } }));
        EXPECT_FALSE(m_helper.HasResults());
    }
}

TEST_F(SearchTest, FilesetThatCannotBeOpenedEndsTheSearchWithModelsShowingTheLists)
{
    addCatalog("music.ktb", musicCatalog());
    addCatalog("gone.ktb", flatCatalog("Gone", { "mp3 file" }));
    searchAll(QStringLiteral("mp3"));
    ASSERT_TRUE(m_helper.HasResults());
    m_registry.Items(1)->Close();
    ASSERT_TRUE(QFile::remove(path("gone.ktb")));
    try {
        searchAll(QStringLiteral("mp3"));
        FAIL() << "no exception";
    } catch (const EKTBException& error) {
        EXPECT_EQ(error.Code, KTB_ERR_FILENOTAVAILABLE);
        EXPECT_TRUE(error.message().contains(path("gone.ktb")));
    }
    expectModelsShowTheLists();
    EXPECT_FALSE(m_helper.HasResults());
}

TEST_F(SearchTest, ListenerFailureReachesTheCallerWithModelsShowingTheLists)
{
    addCatalog("music.ktb", musicCatalog());
    searchAll(QStringLiteral("mp3"));
    m_helper.OnProgress = [](TSearchHelper*) { throw std::runtime_error("listener"); };
    EXPECT_THROW(searchAll(QStringLiteral("mp3")), std::runtime_error);
    expectModelsShowTheLists();
    m_helper.OnProgress = nullptr;
    searchAll(QStringLiteral("mp3"));
    EXPECT_EQ(m_helper.FileResults.Count(), 4);
}

TEST_F(SearchTest, DamagedRecordEndsTheWalkOfItsFilesetOnly)
{
    CatalogBuilder damaged;
    damaged.beginDisc({ .serial = 1, .title = "Damaged" });
    damaged.addFile("x1");
    damaged.addFile("x2");
    damaged.rawByte(9);
    damaged.addFile("x9");
    addCatalog("damaged.ktb", damaged);
    addCatalog("good.ktb", flatCatalog("Good", { "x3" }));
    EXPECT_NO_THROW(searchAll(QStringLiteral("x")));
    EXPECT_EQ(fileNames(), (QStringList { QStringLiteral("x1"), QStringLiteral("x2"), QStringLiteral("x3") }));
    const TEntityEntry* disc = discResult(QStringLiteral("Damaged"));
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->Entity->disc()->Files, 2u);
}

TEST_F(SearchTest, ResultsOfADeletedFilesetAreDropped)
{
    addCatalog("music.ktb", musicCatalog());
    addCatalog("plain.ktb", flatCatalog("Plain", { "a.mp3" }, "Bob"));
    addCatalog("other.ktb", flatCatalog("Other", { "b.mp3" }));
    m_registry.OnNotify = [this](TKTBFile* fileset, TListNotification action) {
        if (action == TListNotification::lnDeleted) {
            m_helper.FilesetDeleted(fileset);
        }
    };
    searchAll(QStringLiteral("mp3"));
    ASSERT_EQ(m_helper.DiscResultCount(), 3);
    m_registry.Delete(0);
    EXPECT_EQ(discTitles(), (QStringList { QStringLiteral("Other"), QStringLiteral("Plain") }));
    EXPECT_EQ(fileNames(), (QStringList { QStringLiteral("a.mp3"), QStringLiteral("b.mp3") }));
    expectModelsShowTheLists();
    m_registry.Clear();
    EXPECT_FALSE(m_helper.HasResults());
    expectModelsShowTheLists();
}

TEST_F(SearchTest, FilesetDeletedFromTheListenerStopsTheSearchAndLeavesNoResultOfIt)
{
    addCatalog("music.ktb", musicCatalog());
    addCatalog("plain.ktb", flatCatalog("Plain", { "a.mp3" }));
    m_registry.OnNotify = [this](TKTBFile* fileset, TListNotification action) {
        if (action == TListNotification::lnDeleted) {
            m_helper.FilesetDeleted(fileset);
        }
    };
    m_helper.OnProgress = [this](TSearchHelper*) {
        if (m_registry.Count() == 2) {
            m_registry.Delete(0);
        }
    };
    searchAll(QStringLiteral("mp3"));
    EXPECT_TRUE(m_helper.Cancelled());
    for (int i = 0; i < m_helper.FileResults.Count(); ++i) {
        EXPECT_EQ(m_helper.FileResults.Items(i)->Fileset, m_registry.Items(0));
    }
    expectModelsShowTheLists();
}

TEST_F(SearchTest, CancelFromTheListenerEndsTheSearchAndNestedSearchesDoNothing)
{
    addCatalog("music.ktb", musicCatalog());
    int calls = 0;
    m_helper.OnProgress = [this, &calls](TSearchHelper* helper) {
        ++calls;
        TIntegerList list;
        list.Add(0);
        helper->Search(list); // ignored while a search runs
        helper->Cancel();
    };
    searchAll(QString());
    EXPECT_TRUE(m_helper.Cancelled());
    EXPECT_EQ(calls, 1);
    expectModelsShowTheLists();
    m_helper.OnProgress = nullptr;
    searchAll(QString());
    EXPECT_FALSE(m_helper.Cancelled());
    EXPECT_EQ(m_helper.FileResults.Count(), 9);
}

TEST_F(SearchTest, ProcessWideSearchUsesTheProcessWideRegistry)
{
    addCatalog("music.ktb", musicCatalog());
    FilesetList = &m_registry;
    TSearchHelper& helper = createSearchHelper();
    EXPECT_EQ(SearchHelper, &helper);
    TIntegerList list;
    list.Add(0);
    helper.SetSearchText(QStringLiteral("wav"));
    helper.Search(list);
    EXPECT_EQ(helper.FileResults.Count(), 2);
    releaseSearchHelper();
    FilesetList = nullptr;
    EXPECT_EQ(SearchHelper, nullptr);
}

TEST_F(SearchTest, SameFilesetTwiceIsSearchedTwice)
{
    addCatalog("music.ktb", musicCatalog());
    search(QStringLiteral("wav"), { 0, 0 });
    EXPECT_EQ(fileNames(),
        (QStringList { QStringLiteral("MyTrack.wav"), QStringLiteral("MyTrack.wav"), QStringLiteral("Track01.wav"),
            QStringLiteral("Track01.wav") }));
    EXPECT_EQ(m_helper.FileMatches(), 4u);
}
