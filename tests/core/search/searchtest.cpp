// CatalogSearch: what a search finds, its order, disc results, paths, progress, failures, and the
// results of filesets the registry deletes.
#include "tests/core/search/searchfixture.h"

#include "core/filesets/catalogerror.h"

#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"

#include <QFile>
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
    EXPECT_EQ(m_helper.hasResults(), !GetParam().files.isEmpty() || !GetParam().discs.isEmpty());
    expectListsAnnounced();
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
    const EntityEntry* cd = discResult(QStringLiteral("CD 12"));
    ASSERT_NE(cd, nullptr);
    EXPECT_EQ(cd->entity->disc()->Files, 1u);
    EXPECT_EQ(cd->entity->disc()->Folders, 2u);
    EXPECT_EQ(m_helper.fileMatches(), 1u);
    EXPECT_EQ(m_helper.folderMatches(), 2u);
    EXPECT_EQ(discTitles(), (QStringList { QStringLiteral("CD 12"), QStringLiteral("Holiday 2003") }));

    searchAll(QStringLiteral("holiday"));
    const EntityEntry* holiday = discResult(QStringLiteral("Holiday 2003"));
    ASSERT_NE(holiday, nullptr);
    EXPECT_EQ(holiday->entity->disc()->Files, 0u);
    EXPECT_EQ(holiday->entity->disc()->Folders, 0u);
    EXPECT_EQ(holiday->fileset, m_registry.at(0));
    EXPECT_FALSE(holiday->ancestors.has_value());
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
    catalog.addEmptyDisc({ .serial = 3, .title = "CAF\xc3\x89" }); // É folds to é
    catalog.addEmptyDisc({ .serial = 4, .title = "Cafe" });
    addCatalog("cafe.ktb", catalog);
    searchAll(QStringLiteral("caf\u00e9"));
    ASSERT_EQ(m_helper.discResultCount(), 3);
    QStringList paths;
    for (int i = 0; i < m_helper.discResultCount(); ++i) {
        paths.append(CatalogSearch::discPath(*m_helper.discResults.at(i)));
    }
    paths.sort();
    EXPECT_EQ(paths,
        (QStringList { QStringLiteral("[Nobody]\\cafe.ktb\\CAF\u00c9\\"),
            QStringLiteral("[Nobody]\\cafe.ktb\\CAF\u00e9 2\\"),
            QStringLiteral("[Nobody]\\cafe.ktb\\Caf\u00e9 del Mar\\") }));
}

TEST_F(SearchTest, LettersBeyondAsciiMatchInEitherCaseAndEncoding)
{
    addCatalog("names.ktb",
        flatCatalog("Disc",
            { "caf\xc3\xa9.png", "CAF\xe9.JPG", "cafe.png",
                "\xc3\x9cn\xc3\xaf"
                "code.txt",
                "unicode.txt" }));
    searchAll(QStringLiteral("CAF\u00c9"));
    QStringList names = fileNames();
    names.sort();
    EXPECT_EQ(names, (QStringList { QStringLiteral("CAF\u00e9.JPG"), QStringLiteral("caf\u00e9.png") }));
    searchAll(QStringLiteral("\u00fcn\u00efcode"));
    EXPECT_EQ(fileNames(), QStringList { QStringLiteral("\u00dcn\u00efcode.txt") });
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
    const EntityEntry* song = fileResult(QStringLiteral("Song.MP3"));
    const EntityEntry* rock = fileResult(QStringLiteral("Rock"));
    const EntityEntry* plain = fileResult(QStringLiteral("song.mp3"));
    ASSERT_NE(song, nullptr);
    ASSERT_NE(rock, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(CatalogSearch::resultPath(*song), QStringLiteral("Anna\\Mine\\CD 12\\Music\\Rock\\"));
    EXPECT_EQ(CatalogSearch::resultPath(*rock), QStringLiteral("Anna\\Mine\\CD 12\\Music\\Rock\\"));
    EXPECT_EQ(CatalogSearch::resultPath(*plain), QStringLiteral("[Nobody]\\plain.ktb\\Plain Disc\\"));
    EXPECT_EQ(CatalogSearch::discTitleOf(*song), QStringLiteral("CD 12"));
    EXPECT_EQ(CatalogSearch::discPath(*discResult(QStringLiteral("Plain Disc"))),
        QStringLiteral("[Nobody]\\plain.ktb\\Plain Disc\\"));
}

TEST_F(SearchTest, SecondSearchReplacesTheFirstAlsoWhenItFindsNothing)
{
    addCatalog("music.ktb", musicCatalog());
    searchAll(QStringLiteral("mp3"));
    ASSERT_EQ(m_helper.fileResults.count(), 4);
    searchAll(QStringLiteral("wav"));
    EXPECT_EQ(fileNames(), (QStringList { QStringLiteral("MyTrack.wav"), QStringLiteral("Track01.wav") }));
    EXPECT_EQ(m_helper.fileMatches(), 2u);
    searchAll(QStringLiteral("nothing like it"));
    EXPECT_FALSE(m_helper.hasResults());
    EXPECT_EQ(m_helper.fileMatches(), 0u);
    EXPECT_EQ(m_helper.discResultCount(), 0);
    expectListsAnnounced();
}

TEST_F(SearchTest, ProgressRunsFromZeroToTheBytesOfTheChosenFilesets)
{
    addCatalog("music.ktb", musicCatalog());
    addCatalog("plain.ktb", flatCatalog("Plain", { "x" }));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    m_helper.onProgress
        = [&calls](CatalogSearch* helper) { calls.emplace_back(helper->doneBytes(), helper->totalBytes()); };
    searchAll(QStringLiteral("x"));
    const std::uint64_t total = m_registry.at(0)->dataSize() + m_registry.at(1)->dataSize();
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
        m_helper.onProgress
            = [&calls](CatalogSearch* helper) { calls.emplace_back(helper->doneBytes(), helper->totalBytes()); };
        search(QString(), indexes);
        EXPECT_EQ(calls, (std::vector<std::pair<std::uint64_t, std::uint64_t>> { { 0, 0 } }));
        EXPECT_FALSE(m_helper.hasResults());
    }
}

TEST_F(SearchTest, FilesetThatCannotBeOpenedIsNamedAsNotSearchedAndTheOthersAreSearched)
{
    addCatalog("gone.ktb", flatCatalog("Gone", { "mp3 file" }));
    addCatalog("music.ktb", musicCatalog());
    searchAll(QStringLiteral("mp3"));
    ASSERT_EQ(fileNames().size(), 5);
    EXPECT_TRUE(m_helper.notSearched().isEmpty());
    // Unplugged: the file is gone while the fileset is registered.
    m_registry.at(0)->close();
    ASSERT_TRUE(QFile::remove(path("gone.ktb")));
    EXPECT_NO_THROW(searchAll(QStringLiteral("mp3")));
    EXPECT_EQ(fileNames().size(), 4);
    EXPECT_EQ(discTitles(), QStringList { QStringLiteral("CD 12") });
    EXPECT_EQ(m_helper.notSearched(), QStringList { QStringLiteral("gone.ktb") });
    expectListsAnnounced();
}

TEST_F(SearchTest, ListenerFailureReachesTheCallerWithModelsShowingTheLists)
{
    addCatalog("music.ktb", musicCatalog());
    searchAll(QStringLiteral("mp3"));
    m_helper.onProgress = [](CatalogSearch*) { throw std::runtime_error("listener"); };
    EXPECT_THROW(searchAll(QStringLiteral("mp3")), std::runtime_error);
    expectListsAnnounced();
    m_helper.onProgress = nullptr;
    searchAll(QStringLiteral("mp3"));
    EXPECT_EQ(m_helper.fileResults.count(), 4);
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
    const EntityEntry* disc = discResult(QStringLiteral("Damaged"));
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->entity->disc()->Files, 2u);
}

TEST_F(SearchTest, ResultsOfADeletedFilesetAreDropped)
{
    addCatalog("music.ktb", musicCatalog());
    addCatalog("plain.ktb", flatCatalog("Plain", { "a.mp3" }, "Bob"));
    addCatalog("other.ktb", flatCatalog("Other", { "b.mp3" }));
    searchAll(QStringLiteral("mp3"));
    ASSERT_EQ(m_helper.discResultCount(), 3);
    m_registry.removeAt(0);
    EXPECT_EQ(discTitles(), (QStringList { QStringLiteral("Other"), QStringLiteral("Plain") }));
    EXPECT_EQ(fileNames(), (QStringList { QStringLiteral("a.mp3"), QStringLiteral("b.mp3") }));
    expectListsAnnounced();
    m_registry.clear();
    EXPECT_FALSE(m_helper.hasResults());
    expectListsAnnounced();
}

TEST_F(SearchTest, ResultsFollowTheirDiscsWhenADiscBeforeThemIsDeleted)
{
    CatalogBuilder catalog;
    catalog.setName("Sets");
    catalog.beginDisc({ .serial = 1, .title = "Audio CD", .scanTime = 100 });
    catalog.addFile("Track01.cda", 44, 0);
    catalog.endDisc();
    catalog.beginDisc({ .serial = 2, .title = "Audio CD", .scanTime = 100 });
    catalog.beginFolder("Disc two");
    catalog.addFile("Track01.cda", 44, 0);
    catalog.addFile("Track05.cda", 44, 0);
    catalog.endFolder();
    catalog.endDisc();
    catalog.beginDisc({ .serial = 3, .title = "Third", .scanTime = 100 });
    catalog.addFile("Track09.cda", 44, 0);
    catalog.endDisc();
    const int sets = addCatalog("sets.ktb", catalog);
    addCatalog("other.ktb", flatCatalog("Other", { "Track02.cda" }));
    searchAll(QStringLiteral("track"));
    ASSERT_EQ(m_helper.fileMatches(), 5u);
    Fileset* fileset = m_registry.at(sets);
    TKTBHandle* handle = fileset->handle();

    // The first disc is deleted: its result goes, the others' offsets move down with their discs.
    const std::uint32_t first = KTB_HEADER_SIZE;
    ASSERT_EQ(ktbDeleteDisc(handle, first), KTB_OK);
    m_registry.notifyChanged(fileset);
    expectListsAnnounced();
    EXPECT_EQ(m_helper.fileMatches(), 4u);
    EXPECT_EQ(m_helper.discResultCount(), 3);
    const EntityEntry* track05 = fileResult(QStringLiteral("Track05.cda"));
    ASSERT_NE(track05, nullptr);
    EXPECT_EQ(track05->ancestors->Get(0), first) << "the second disc is the first one now";
    EXPECT_EQ(CatalogSearch::resultPath(*track05), QStringLiteral("[Nobody]\\Sets\\Audio CD\\Disc two\\"));
    TKTBEntity* record = nullptr;
    ASSERT_EQ(ktbReadEntity(handle, track05->entity->Offset, record), KTB_OK);
    EXPECT_STREQ(record->name(), "Track05.cda");
    ktbFreeEntity(record);
    EXPECT_EQ(CatalogSearch::discTitleOf(*fileResult(QStringLiteral("Track09.cda"))), QStringLiteral("Third"));
}

TEST_F(SearchTest, FilesetDeletedFromTheListenerStopsTheSearchAndLeavesNoResultOfIt)
{
    addCatalog("music.ktb", musicCatalog());
    addCatalog("plain.ktb", flatCatalog("Plain", { "a.mp3" }));
    m_helper.onProgress = [this](CatalogSearch*) {
        if (m_registry.count() == 2) {
            m_registry.removeAt(0);
        }
    };
    searchAll(QStringLiteral("mp3"));
    EXPECT_TRUE(m_helper.wasCancelled());
    for (int i = 0; i < m_helper.fileResults.count(); ++i) {
        EXPECT_EQ(m_helper.fileResults.at(i)->fileset, m_registry.at(0));
    }
    expectListsAnnounced();
}

TEST_F(SearchTest, CancelFromTheListenerEndsTheSearchAndNestedSearchesDoNothing)
{
    addCatalog("music.ktb", musicCatalog());
    int calls = 0;
    m_helper.onProgress = [this, &calls](CatalogSearch* helper) {
        ++calls;
        TIntegerList list;
        list.Add(0);
        helper->search(list); // ignored while a search runs
        helper->cancel();
    };
    searchAll(QString());
    EXPECT_TRUE(m_helper.wasCancelled());
    EXPECT_EQ(calls, 1);
    expectListsAnnounced();
    m_helper.onProgress = nullptr;
    searchAll(QString());
    EXPECT_FALSE(m_helper.wasCancelled());
    EXPECT_EQ(m_helper.fileResults.count(), 9);
}

TEST_F(SearchTest, ProcessWideSearchUsesAndFollowsTheProcessWideRegistry)
{
    addCatalog("music.ktb", musicCatalog());
    g_filesetRegistry = &m_registry;
    CatalogSearch& helper = createCatalogSearch();
    EXPECT_EQ(g_catalogSearch, &helper);
    TIntegerList list;
    list.Add(0);
    helper.setSearchText(QStringLiteral("wav"));
    helper.search(list);
    EXPECT_EQ(helper.fileResults.count(), 2);
    // It follows the registry: a fileset deleted takes its results along.
    m_registry.removeAt(0);
    EXPECT_FALSE(helper.hasResults());
    releaseCatalogSearch();
    g_filesetRegistry = nullptr;
    EXPECT_EQ(g_catalogSearch, nullptr);
}

TEST_F(SearchTest, SameFilesetTwiceIsSearchedTwice)
{
    addCatalog("music.ktb", musicCatalog());
    search(QStringLiteral("wav"), { 0, 0 });
    EXPECT_EQ(fileNames(),
        (QStringList { QStringLiteral("MyTrack.wav"), QStringLiteral("MyTrack.wav"), QStringLiteral("Track01.wav"),
            QStringLiteral("Track01.wav") }));
    EXPECT_EQ(m_helper.fileMatches(), 4u);
}
